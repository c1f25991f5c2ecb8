// Lexer and statement reader throughput on a 100 MB script of realistic statements (tables,
// multi-row inserts with quoted texts and escapes, updates, comments, triggers under
// DELIMITER $$). Prints MB/s of each and the ratios to a plain byte scan and to lexing.
//   lexer_bench [MEGABYTES]      (default 100)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "db/lexer.h"
#include "db/script.h"
#include "db/script_reader.h"

namespace {

// Appends each piece in turn (a chain of operator+ trips GCC 12's -Wrestrict).
template <class... T>
void add(std::string& s, const T&... pieces) {
    (s.append(pieces), ...);
}

std::string makeScript(std::size_t bytes) {
    static const char* const kNames[] = {"Rossi Mario", "Bianchi & Figli s.r.l.",
                                         "L'Aquila",    "Caff\xC3\xA8 Nero",
                                         "O\\'Brien",   "Via \"Roma\" 12"};
    std::mt19937 rng(42);
    std::string s;
    s.reserve(bytes + 4096);
    int n = 0;
    while (s.size() < bytes) {
        ++n;
        const std::string num = std::to_string(n);
        switch (n % 5) {
            case 0:
                add(s, "-- tabella anagrafica ", num, "\r\nCREATE TABLE IF NOT EXISTS `anag_", num,
                    "` (\r\n  `id` int(11) NOT NULL AUTO_INCREMENT,\r\n  `nome` varchar(80) "
                    "DEFAULT NULL, /* ragione sociale */\r\n  `importo` decimal(12,2) NOT NULL "
                    "DEFAULT 0.00,\r\n  PRIMARY KEY (`id`)\r\n) ENGINE=InnoDB DEFAULT "
                    "CHARSET=latin1;\r\n");
                break;
            case 1:
            case 2:
                add(s, "INSERT INTO `anag` (`id`, `nome`, `importo`) VALUES ");
                for (int r = 0; r < 20; ++r) {
                    add(s, r ? ",(" : "(", std::to_string(rng() % 100000), ",'", kNames[rng() % 6],
                        "',", std::to_string(rng() % 10000), ".", std::to_string(rng() % 90 + 10),
                        ")");
                }
                add(s, ";\r\n");
                break;
            case 3:
                add(s, "UPDATE &DatabaseName._versione SET versione = '2.3.", num, "', VID = \"",
                    num, "\" WHERE id = ", num, "; # aggiornamento\r\n");
                break;
            case 4:
                add(s, "DELIMITER $$\r\nCREATE TRIGGER `tri_", num,
                    "` BEFORE INSERT ON `anag` FOR EACH ROW BEGIN\r\n  IF NEW.importo < 0 THEN "
                    "SET NEW.importo = 0; END IF;\r\n  SET @n = @n + 1;\r\nEND$$\r\nDELIMITER "
                    ";\r\n");
                break;
        }
    }
    return s;
}

template <class F>
double bestSeconds(int runs, F&& f) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        f();
        std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
        best = std::min(best, d.count());
    }
    return best;
}

long peakKiB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t mb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
    const std::string text = makeScript(mb << 20);
    const double size = static_cast<double>(text.size()) / (1 << 20);
    std::printf("script: %.1f MB\n", size);
    const long baseKiB = peakKiB();

    volatile unsigned long sink = 0;
    const double scan = bestSeconds(3, [&] {
        unsigned long semis = 0;
        for (char c : text) semis += (c == ';');
        sink = sink + semis;
    });
    std::size_t lexemes = 0;
    const double lex = bestSeconds(3, [&] {
        db::TMyParser p(text);
        lexemes = 0;
        for (;;) {
            auto r = p.next();
            if (!r || r->kind == db::LexemeKind::End) break;
            ++lexemes;
        }
    });
    const long lexKiB = peakKiB();
    std::size_t statements = 0;
    const double split = bestSeconds(3, [&] {
        db::StatementReader reader(text, ";");
        statements = 0;
        for (;;) {
            auto r = reader.next();
            if (!r || !*r) break;
            ++statements;
        }
    });
    db::TMyScript script;
    script.SQL.SetText(text);
    const double build = bestSeconds(1, [&] { (void)script.Statements(); });
    statements = script.Statements().size();

    std::printf("byte scan:          %8.0f MB/s\n", size / scan);
    std::printf("lex:                %8.0f MB/s  (%zu lexemes)  %.2fx the byte scan's time\n",
                size / lex, lexemes, lex / scan);
    std::printf("statement reader:   %8.0f MB/s  (%zu statements)  %.2fx lexing\n", size / split,
                statements, split / lex);
    std::printf("TMyScript.Statements %7.0f MB/s  (texts copied, parameters found)  %.2fx lexing\n",
                size / build, build / lex);
    std::printf("peak memory growth while lexing: %ld KiB (input %.0f KiB)\n", lexKiB - baseKiB,
                size * 1024);
    return sink == 0xFFFFFFFF;
}
