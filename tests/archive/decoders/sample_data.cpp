#include "tests/archive/decoders/sample_data.h"

#include <random>

namespace testsupport {

std::string mixedSample(std::size_t size, unsigned seed) {
    static const char* const kWords[] = {"update ", "package ",  "versione ", "ditta ",
                                         "script ", "the ",      "of ",       "and ",
                                         "\r\n",    "Quillora ", "0123 "};
    std::mt19937 rng(seed);
    std::string s;
    s.reserve(size);
    while (s.size() < size) {
        switch (rng() % 5) {
            case 0:  // text
                for (int i = 0; i < 200; ++i) s += kWords[rng() % 11];
                break;
            case 1:  // noise
                for (int i = 0; i < 3000; ++i) s += static_cast<char>(rng());
                break;
            case 2:  // a long run
                s.append(70000 + rng() % 1000, static_cast<char>(rng()));
                break;
            case 3:  // a copy from far back
                if (s.size() > 70000) {
                    const std::size_t from = s.size() - 40000 - rng() % 25000;
                    s += s.substr(from, 2000 + rng() % 3000);
                }
                break;
            default:  // a short binary pattern
                for (int i = 0; i < 500; ++i) s += static_cast<char>(i % 7 + rng() % 2);
                break;
        }
    }
    s.resize(size);
    return s;
}

}  // namespace testsupport
