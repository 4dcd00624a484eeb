// The socket endpoints and checks called directly, in this process, against
// sockets of the test itself.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/log_file.h"
#include "linkprobe/c2s_exception.h"
#include "linkprobe/c2s_winsock.h"
#include "linkprobe/client_side.h"
#include "linkprobe/network_checks.h"
#include "linkprobe/server_side.h"
#include "tests/linkprobe/probe_harness.h"
#include "tests/support/test_files.h"

namespace linkprobe_test {
namespace {

using c2s::client_side;
using c2s::server_side;

// The process-wide log goes to a file of the test's own, so each case can
// look at the lines it caused.
class Endpoints : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new norvale::testbed::TempFolder("linkprobe endpoints");
        g_log.open(folder_->file("endpoints.log").c_str());
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    void SetUp() override {
        c2s::start_winsock();
        logStart_ = logContent().size();
    }
    void TearDown() override { c2s::stop_winsock(); }

    static std::string logContent() {
        auto content = norvale::testbed::readWholeFile(folder_->file("endpoints.log"));
        return content ? *content : std::string();
    }
    // Records written since the case began.
    std::vector<LogRecord> newRecords() const {
        return parseLog(logContent().substr(logStart_));
    }

    // Runs body, which must throw c2s::exception, and returns what it threw.
    template <typename Body>
    static c2s::exception thrownBy(Body body) {
        try {
            body();
        } catch (const c2s::exception& caught) {
            return caught;
        }
        ADD_FAILURE() << "no c2s::exception";
        return c2s::exception(0, 0, "", 0);
    }

    static norvale::testbed::TempFolder* folder_;
    std::size_t logStart_ = 0;
};

norvale::testbed::TempFolder* Endpoints::folder_ = nullptr;

TEST_F(Endpoints, DescribeOfBindOnAnAddressInUse) {
    Listener other("127.0.0.1", 47501);
    ASSERT_TRUE(other.listening());
    server_side server("127.0.0.1", 47501);
    c2s::exception caught = thrownBy([&] { server.start(); });

    EXPECT_EQ(4, caught.code);
    EXPECT_EQ(10048, caught.reason);
    EXPECT_NE(std::string::npos, caught.file.find("server_side.cpp")) << caught.file;
    EXPECT_GT(caught.line, 0);
    EXPECT_EQ("eXception c2s::4, reason::10048 [" + caught.file + ":" +
                  std::to_string(caught.line) + "]",
              caught.describe());
}

TEST_F(Endpoints, DescribeKeepsAtMost999Characters) {
    c2s::exception longFile(7, 10061, std::string(1500, 'f'), 12);
    std::string text = longFile.describe();
    EXPECT_EQ(999u, text.size());
    EXPECT_EQ(0u, text.find("eXception c2s::7, reason::10061 [fff"));
}

TEST_F(Endpoints, PeerThatSendsNothingForThreeSecondsIsCode12) {
    server_side server("127.0.0.1", 47502);
    server.start();
    norvale::Socket peer = connectTo("127.0.0.1", 47502);
    ASSERT_TRUE(peer.valid());
    server.accept_connection();

    std::vector<char> buffer;
    DWORD begin = GetTickCount();
    c2s::exception caught = thrownBy([&] { server.read_pending(buffer); });
    DWORD waited = GetTickCount() - begin;

    EXPECT_EQ(12, caught.code);
    EXPECT_GE(waited, 2900u);
    EXPECT_LT(waited, 4500u);
    EXPECT_TRUE(buffer.empty());
}

TEST_F(Endpoints, AcceptWithoutAConnectionEndsAfterItsBoundAsCode8) {
    server_side server("127.0.0.1", 47503);
    server.start();
    DWORD begin = GetTickCount();
    c2s::exception caught = thrownBy([&] { server.accept_connection(); });
    DWORD waited = GetTickCount() - begin;

    EXPECT_EQ(8, caught.code);
    EXPECT_EQ(WSAETIMEDOUT, caught.reason);
    EXPECT_GE(waited, 2900u);
    EXPECT_LT(waited, 4500u);
}

TEST_F(Endpoints, OneReadTakesAtMost10240BytesAfterWhatTheBufferHeld) {
    server_side server("127.0.0.1", 47504);
    server.start();
    norvale::Socket peer = connectTo("127.0.0.1", 47504);
    ASSERT_TRUE(peer.valid());
    server.accept_connection();

    std::vector<char> block(20000, 'x');
    ASSERT_EQ(20000, ::send(peer.get(), block.data(), 20000, 0));
    Sleep(200);  // let the whole block arrive before the one receive

    std::vector<char> buffer = {'a', 'b'};
    server.read_pending(buffer);
    ASSERT_EQ(2u + 10240u, buffer.size());
    EXPECT_EQ('a', buffer[0]);
    EXPECT_EQ('b', buffer[1]);
    EXPECT_EQ(std::vector<char>(10240, 'x'), std::vector<char>(buffer.begin() + 2, buffer.end()));
}

TEST_F(Endpoints, PeerThatClosesAppendsNothingAndEndsTheConnection) {
    server_side server("127.0.0.1", 47505);
    server.start();
    norvale::Socket peer = connectTo("127.0.0.1", 47505);
    ASSERT_TRUE(peer.valid());
    server.accept_connection();
    peer.reset();

    std::vector<char> buffer = {'k'};
    server.read_pending(buffer);
    EXPECT_EQ(std::vector<char>{'k'}, buffer);

    std::vector<LogRecord> log = newRecords();
    EXPECT_TRUE(hasRecord(log, "[I]", "[ServerSide] disconnect ...\n"));
    EXPECT_TRUE(hasRecord(log, "[I]", "[ServerSide] disconnect done.\n"));
}

TEST_F(Endpoints, UnresolvableHostOrPortOutsideTheRangeIsCode6) {
    struct Row {
        const char* host;
        int port;
        bool server;
    };
    const Row rows[] = {
        {"no-such-host.invalid", 47506, true},
        {"no-such-host.invalid", 47506, false},
        {"127.0.0.1", 65536 + 47506, true},
        {"127.0.0.1", -1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.host) + ":" + std::to_string(row.port) +
                     (row.server ? " server" : " client"));
        c2s::exception caught = thrownBy([&] {
            if (row.server) {
                server_side server(row.host, row.port);
                server.start();
            } else {
                client_side client;
                client.connect(row.host, row.port);
            }
        });
        EXPECT_EQ(6, caught.code);
    }
}

TEST_F(Endpoints, RefusedConnectionIsCode7AndLeavesTheClientDisconnected) {
    client_side client;
    c2s::exception caught = thrownBy([&] { client.connect("127.0.0.1", 47507); });
    EXPECT_EQ(7, caught.code);
    EXPECT_EQ(WSAECONNREFUSED, caught.reason);
    client.disconnect();
    EXPECT_TRUE(hasRecord(newRecords(), "[I]", "[ClientSide] already disconected.\n"));
}

TEST_F(Endpoints, StartTwiceAndStopUnstartedLogOnlyWhatTheyShould) {
    {
        server_side never("127.0.0.1", 47508);
        never.stop();
    }
    EXPECT_TRUE(newRecords().empty()) << "stopping a server that never started logs nothing";

    server_side server("127.0.0.1", 47508);
    server.start();
    server.start();
    EXPECT_TRUE(hasRecord(newRecords(), "[I]", "[ServerSide] already started.\n"));
}

// ---------------------------------------------------------------------------
// The checks as functions: several in one process, each with its own
// Winsock start and clean-up.

class Checks : public Endpoints {
protected:
    // The checks start and clean up Winsock themselves.
    void SetUp() override { logStart_ = logContent().size(); }
    void TearDown() override {}
};

TEST_F(Checks, BindVerdictsTellInUseFromOtherFailures) {
    EXPECT_EQ(c2s::kBindFree, c2s::check_Bind_network("127.0.0.1", 47601));
    {
        Listener other("127.0.0.1", 47601);
        ASSERT_TRUE(other.listening());
        EXPECT_EQ(c2s::kBindInUse, c2s::check_Bind_network("127.0.0.1", 47601));
    }
    EXPECT_EQ(c2s::kBindOtherError, c2s::check_Bind_network("no-such-host.invalid", 47601));
    // An address that is not the machine's own cannot be bound.
    EXPECT_EQ(c2s::kBindOtherError, c2s::check_Bind_network("192.0.2.1", 47601));
}

TEST_F(Checks, LocalEchoTwiceInOneProcessThenTakenPortFails) {
    EXPECT_TRUE(c2s::check_local_network());
    EXPECT_TRUE(c2s::check_local_network());
    WinsockUser winsock;
    Listener taken(c2s::kLoopbackHost, c2s::kLoopbackPort);
    ASSERT_TRUE(taken.listening());
    EXPECT_FALSE(c2s::check_local_network());

    std::vector<LogRecord> log = newRecords();
    EXPECT_TRUE(hasRecordStartingWith(log, "Catch: eXception c2s::4, reason::10048 ["));
    // The server's closing lines come before the caught error.
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ((LogRecord{"[I]", "done.\n"}), log[log.size() - 3]);
    EXPECT_EQ((LogRecord{"[!]", "[check_local_network] FAILED.\n\n\n"}), log.back());
}

}  // namespace
}  // namespace linkprobe_test
