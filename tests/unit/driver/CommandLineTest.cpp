#include "driver/CommandLine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CommandLine, TargetsAreReadFromEitherFormOrFromTheBuiltInOne) {
    struct Row {
        std::string commandLine;
        std::string fallback;
        bool ok;
        std::string host;
        std::uint16_t port;
        std::string problem;
    };
    const std::string usage = "pass HOST PORT or HOST:PORT on the command line";
    const Row rows[] = {
        {"updates.example.com 443", "", true, "updates.example.com", 443, ""},
        {"updates.example.com:443", "", true, "updates.example.com", 443, ""},
        {"  10.0.0.5\t8080  ", "", true, "10.0.0.5", 8080, ""},
        {"\"quoted.example\" \"80\"", "", true, "quoted.example", 80, ""},
        {"", "built.in:1", true, "built.in", 1, ""},
        {"given:2", "built.in:1", true, "given", 2, ""},
        {"", "", false, "", 0, "no target server given: " + usage},
        {"host", "", false, "", 0, "no port for target server 'host': " + usage},
        {"host 0", "", false, "", 0, "target port '0' is not a number from 1 to 65535: " + usage},
        {"host 65536", "", false, "", 0,
         "target port '65536' is not a number from 1 to 65535: " + usage},
        {"host:-1", "", false, "", 0, "target port '-1' is not a number from 1 to 65535: " + usage},
        {"host 00080", "", true, "host", 80, ""},
        {"host 065535", "", false, "", 0,
         "target port '065535' is not a number from 1 to 65535: " + usage},
        {"host +80", "", false, "", 0,
         "target port '+80' is not a number from 1 to 65535: " + usage},
        {"host 80x", "", false, "", 0,
         "target port '80x' is not a number from 1 to 65535: " + usage},
        {":80", "", false, "", 0, "no host name for the target server: " + usage},
        {"a b c", "", false, "", 0, "too many words for a target server: " + usage},
        {"\"a\r\nPROXY DETECTED OK\"", "", false, "", 0,
         "no port for target server 'a\\r\\nPROXY DETECTED OK': " + usage},
        {"host \"8\n0\"", "", false, "", 0,
         "target port '8\\n0' is not a number from 1 to 65535: " + usage},
        {std::string(255, 'h') + " 80", "", true, std::string(255, 'h'), 80, ""},
        {std::string(256, 'h') + " 80", "", false, "", 0,
         "target host name longer than 255 characters (256)"},
    };
    for (const Row& row : rows) {
        TargetAddress target{"unchanged", 9};
        std::string problem;
        EXPECT_EQ(row.ok, commandline::parseTarget(row.commandLine, row.fallback, target, problem))
            << row.commandLine;
        EXPECT_EQ(row.ok ? row.host : "unchanged", target.host) << row.commandLine;
        EXPECT_EQ(row.ok ? row.port : 9, target.port) << row.commandLine;
        EXPECT_EQ(row.problem, problem) << row.commandLine;
    }
}

} // namespace
