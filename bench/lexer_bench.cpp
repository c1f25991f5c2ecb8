// Lexer and statement reader throughput on a 100 MB script of realistic statements (tables,
// multi-row inserts with quoted texts and escapes, updates, comments, triggers under
// DELIMITER $$). Prints MB/s of each and the ratios to a plain byte scan and to lexing.
//   lexer_bench [MEGABYTES]      (default 100)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
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

// Processor time, best of `runs`: the machine is shared, so wall time says little.
template <class F>
double bestSeconds(int runs, F&& f) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const std::clock_t t0 = std::clock();
        f();
        best = std::min(best, static_cast<double>(std::clock() - t0) / CLOCKS_PER_SEC);
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
    const double scan = bestSeconds(5, [&] {
        unsigned long semis = 0;
        for (char c : text) semis += (c == ';');
        sink = sink + semis;
    });
    // A byte-at-a-time scan: one table look-up per byte, which the compiler cannot turn into
    // vector code; the floor for any scanner that decides something at every byte.
    static unsigned char kTable[256];
    for (int c = 0; c < 256; ++c) kTable[c] = (c * 7 + 3) & 1;
    const double tableScan = bestSeconds(5, [&] {
        unsigned long hits = 0;
        for (char c : text) hits += kTable[static_cast<unsigned char>(c)];
        sink = sink + hits;
    });
    std::size_t lexemes = 0;
    const double lex = bestSeconds(5, [&] {
        db::TMyParser p(text);
        db::Lexeme lx;
        lexemes = 0;
        while (p.next(lx) && lx.kind != db::LexemeKind::End) ++lexemes;
    });
    const long lexKiB = peakKiB();
    std::size_t statements = 0;
    const double split = bestSeconds(5, [&] {
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
    double build = 1e9;
    for (int i = 0; i < 3; ++i) {
        script.SQL.Add("");  // drops the list (and rejoins the text), outside the timing
        const std::clock_t t0 = std::clock();
        (void)script.Statements();
        build = std::min(build, static_cast<double>(std::clock() - t0) / CLOCKS_PER_SEC);
    }
    statements = script.Statements().size();

    std::printf("byte scan (vector):   %8.0f MB/s\n", size / scan);
    std::printf("byte scan (table):    %8.0f MB/s\n", size / tableScan);
    std::printf(
        "lex:                  %8.0f MB/s  (%zu lexemes)  %.2fx the vector scan's time, "
        "%.2fx the table scan's\n",
        size / lex, lexemes, lex / scan, lex / tableScan);
    std::printf("statement reader:     %8.0f MB/s  (%zu statements)  %.2fx lexing\n", size / split,
                statements, split / lex);
    std::printf("TMyScript.Statements: %8.0f MB/s  (parameters found)  %.2fx lexing\n",
                size / build, build / lex);
    std::printf("peak memory growth while lexing: %ld KiB (input %.0f KiB)\n", lexKiB - baseKiB,
                size * 1024);
    return sink == 0xFFFFFFFF;
}
