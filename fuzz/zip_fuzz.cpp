// Whole archives: opened and extracted into a folder of this process's own.
#include <filesystem>
#include <random>
#include <string>

#include "fuzz/zip_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string work = (std::filesystem::temp_directory_path() /
                                     ("zip_fuzz." + std::to_string(std::random_device{}())))
                                        .string();
    fuzzing::extractBytesForFuzzing(data, size, work);
    return 0;
}
