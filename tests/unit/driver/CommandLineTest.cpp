#include "driver/CommandLine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

TEST(CommandLine, TargetsAreReadFromEitherFormOrFromTheBuiltInOne) {
    struct Row {
        std::string commandLine;
        std::string fallback;
        bool ok;
        std::string host;
        std::uint16_t port;
        std::string problem;
        std::chrono::milliseconds wait = commandline::kMaxProbeWait;
    };
    const std::string waitBounds = "is not a number of seconds from 1 to 20";
    const std::string usage = "pass HOST PORT or HOST:PORT on the command line";
    std::vector<Row> rows = {
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
        {"a b 5 c", "", false, "", 0, "too many words for a target server: " + usage},
        {"a:1 5 c", "", false, "", 0, "too many words for a target server: " + usage},
        {"host 80 5", "", true, "host", 80, "", std::chrono::seconds(5)},
        {"host:80 1", "", true, "host", 80, "", std::chrono::seconds(1)},
        {"host:80 20", "", true, "host", 80, "", std::chrono::seconds(20)},
        {"", "built.in:1 07", true, "built.in", 1, "", std::chrono::seconds(7)},
        {"host:80 0", "", false, "", 0, "probe wait '0' " + waitBounds},
        {"host:80 21", "", false, "", 0, "probe wait '21' " + waitBounds},
        {"host 80 -5", "", false, "", 0, "probe wait '-5' " + waitBounds},
        {"host 80 100", "", false, "", 0, "probe wait '100' " + waitBounds},
        {"host 80 5s", "", false, "", 0, "probe wait '5s' " + waitBounds},
        {"host 0 5", "", false, "", 0, "target port '0' is not a number from 1 to 65535: " + usage},
        {"\"a\r\nPROXY DETECTED OK\"", "", false, "", 0,
         "no port for target server 'a\r\nPROXY DETECTED OK': " + usage},
        {"host \"8\n0\"", "", false, "", 0,
         "target port '8\n0' is not a number from 1 to 65535: " + usage},
        {"127.0.0.1 80", "", true, "127.0.0.1", 80, ""},
        {"Host-1.example.com. 80", "", true, "Host-1.example.com.", 80, ""},
        {std::string(255, 'h') + " 80", "", true, std::string(255, 'h'), 80, ""},
        {std::string(256, 'h') + " 80", "", false, "", 0,
         "target host name longer than 255 characters (256)"},
        {"[2001:db8::1]:443", "", true, "2001:db8::1", 443, ""},
        {"2001:db8::1 443", "", true, "2001:db8::1", 443, ""},
        {"[::1] 443 5", "", true, "::1", 443, "", std::chrono::seconds(5)},
        {"[::ffff:192.0.2.1]:8080 3", "", true, "::ffff:192.0.2.1", 8080, "",
         std::chrono::seconds(3)},
        {"2001:db8::1:443", "", false, "", 0,
         "no port for target server '2001:db8::1:443': " + usage},
        {"[2001:db8::1]", "", false, "", 0, "no port for target server '[2001:db8::1]': " + usage},
        {"[::1]:0", "", false, "", 0, "target port '0' is not a number from 1 to 65535: " + usage},
    };
    // Before a port, an IPv6 address needs brackets; inside them nothing else is taken.
    for (const std::string glued : {"1:2:3:4:5:6:7:8", "[fe80::1%eth0]", "[::1]x", "[h]"}) {
        rows.push_back(
            {glued + ":80", "", false, "", 0,
             "target host '" + glued + "' is neither a host name nor an IPv4 address: " + usage});
    }
    // A host that no name or address can be; some systems' parsers read the start of it as one.
    for (const std::string host :
         {"\"x\r\nPROXY DETECTED OK\"", "\"127.0.0.1\n20991231 PROXY DETECTED OK\"",
          "\"127.0.0.1 x\"", "under_score", "a..b", ".lead", "127.1", "256.0.0.1", "010.0.0.1",
          "1.2.3.4.5", "0x7f.0.0.1", "h\x01st", "caf\xc3\xa9", "a/b", "a@b", "%41", "[h]"}) {
        const std::string shown = host.front() == '"' ? host.substr(1, host.size() - 2) : host;
        rows.push_back(
            {host + " 80", "", false, "", 0,
             "target host '" + shown + "' is neither a host name nor an IPv4 address: " + usage});
    }
    for (const Row& row : rows) {
        TargetAddress target{"unchanged", 9};
        const std::chrono::milliseconds unchanged{3};
        std::chrono::milliseconds wait = unchanged;
        std::string problem;
        EXPECT_EQ(row.ok,
                  commandline::parseTarget(row.commandLine, row.fallback, target, wait, problem))
            << row.commandLine;
        EXPECT_EQ(row.ok ? row.wait : unchanged, wait) << row.commandLine;
        EXPECT_EQ(row.ok ? row.host : "unchanged", target.host) << row.commandLine;
        EXPECT_EQ(row.ok ? row.port : 9, target.port) << row.commandLine;
        EXPECT_EQ(row.problem, problem) << row.commandLine;
    }
}

} // namespace
