// qltool run-script runs a script as phase 3 does: connected to ostrellib, the macro
// DatabaseName set to --schema, the statement list read before anything is sent, failures as
// the updater's five log lines. Against a world's companies in the MariaDB sandbox.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/integration_workflow/world.h"

namespace {

using workflowtest::World;

struct Outcome {
    int exitCode = -1;
    std::string output;
};

TEST(QltoolRunScript, RunsAScriptAsPhaseThreeDoes) {
    World w;
    const std::string rule = ">> " + std::string(45, '*');
    struct Case {
        const char* name;
        std::string script;
        int exitCode;
        std::string output;  // "FILE" stands for the script's path
        std::string check;   // a query on the sandbox and its answer, after "="
    };
    const std::vector<Case> cases = {
        {"a failed statement is logged and the run goes on",
         "INSERT INTO &DatabaseName.storico (nota) SELECT DATABASE();\r\n"
         "INSERT INTO &DatabaseName.nope VALUES (1);\r\n"
         "UPDATE &DatabaseName._versione SET VID = 'rs';\r\n",
         0,
         rule +
             "\n>> \r\n#42S02Table 'osf0101.nope' doesn't exist\n>> Errore su: \n>> INSERT INTO "
             "OSF0101.nope VALUES (1)\n" +
             rule + "\nexecuted 3, failed 1\n",
         // The connection's own database is ostrellib, whatever --schema names.
         "SELECT CONCAT(VID, ' ', (SELECT GROUP_CONCAT(nota) FROM OSF0101.storico)) FROM "
         "OSF0101._versione=rs ostrellib"},
        {"a script without the macro is never run",
         "INSERT INTO OSF0101.clienti VALUES (8, 'senza macro');\n", 1,
         rule + "\n>> Macro DatabaseName not found\n>> Errore su: \n>> FILE\n" + rule +
             "\nexecuted 0, failed 0\n",
         "SELECT COUNT(*) FROM OSF0101.clienti=0"},
        {"the reader's failure comes before the first statement is sent",
         "INSERT INTO &DatabaseName.clienti VALUES (9, 'mai');\n\fSELECT 1;\n", 1,
         rule + "\n>> Parser: The unknown symbol '\f'  $000C\n>> Errore su: \n>> FILE\n" + rule +
             "\nexecuted 0, failed 0\n",
         "SELECT COUNT(*) FROM OSF0101.clienti=0"},
    };
    const std::string tool = testsupport::qltoolPath();
    for (const Case& c : cases) {
        const std::string file = w.dir().write("script.sql", c.script).string();
        Outcome o;
        o.exitCode = testsupport::runShell(
            tool + " run-script --host 127.0.0.1 --port " + std::to_string(w.db().port) +
                " --user root --password " + testsupport::shellQuote(w.db().rootPassword) +
                " --schema OSF0101 " + testsupport::shellQuote(file) + " 2>&1",
            &o.output);
        std::string expected = c.output;
        if (const auto p = expected.find("FILE"); p != std::string::npos)
            expected.replace(p, 4, file);
        EXPECT_EQ(o.exitCode, c.exitCode) << c.name << "\n" << o.output;
        EXPECT_EQ(o.output, expected) << c.name;
        const auto eq = c.check.rfind('=');
        EXPECT_EQ(w.query(c.check.substr(0, eq)), c.check.substr(eq + 1)) << c.name;
    }
}

}  // namespace
