// The HTTP client against a loopback server: request shapes, status values, failures and their log
// lines, output files, abandoning and cancelling requests.
#include "services/http_test_support.h"

#include <memory>

using httptest::HttpTest;
using httptest::LoopbackServer;

namespace
{
// The names in a folder, in the listing's order.
std::vector<std::string> FolderNames(const std::string& folder)
{
    sys::FolderListing listing;
    std::vector<std::string> names;
    if (!listing.Open(folder))
        return names;
    std::string name;
    bool isFolder = false;
    while (listing.Next(name, isFolder))
        names.push_back(name);
    return names;
}

// What a reader of a request's status finds in one folder the moment the status says the request
// ended (the hook runs on the worker's thread, which its owner joins before the test reads this).
std::string sWatchedFolder;
std::vector<std::string> sNamesAtEnd;
void ListWatchedFolder()
{
    sNamesAtEnd = FolderNames(sWatchedFolder);
}

int CountOccurrences(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}
} // namespace

TEST_F(HttpTest, StatusIsFailedBeforeAnySend)
{
    TSimpleHttp http;
    EXPECT_EQ(http.GetStatus(), 2);
    EXPECT_EQ(http.GetResponseCode(), 0);
    http.Open("http://127.0.0.1:1/", false);
    EXPECT_EQ(http.GetStatus(), 2);
}

TEST_F(HttpTest, GetAppendsEncodedParametersToTheUrl)
{
    LoopbackServer server;
    TSimpleHttp http;
    http.Open(server.Url("/scores").c_str(), false);
    http.AddParameter("name", "a b&c");
    http.AddParameter("mode", "x/y");
    ASSERT_TRUE(SendAndWait(http, TSimpleHttp::kHttpNoCacheWrite));
    EXPECT_EQ(http.GetStatus(), 1);
    EXPECT_EQ(http.GetResponseCode(), 200);
    EXPECT_EQ(http.GetFormText(), TString(""));
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].mMethod, "GET");
    EXPECT_EQ(requests[0].mTarget, "/scores?name=a%20b%26c&mode=x%2Fy");
    EXPECT_EQ(requests[0].mHeaders["user-agent"], "qmlib");
    // A plain GET goes the direct way: no form type, no cache pragma.
    EXPECT_EQ(requests[0].mHeaders.count("content-type"), 0u);
    EXPECT_EQ(requests[0].mHeaders.count("pragma"), 0u);
}

TEST_F(HttpTest, GetJoinsTheFirstParameterWithAQuestionMarkEvenAfterAQuery)
{
    LoopbackServer server;
    TSimpleHttp http;
    http.Open(server.Url("/q?x=1").c_str(), false);
    http.AddParameter("a", "b");
    ASSERT_TRUE(SendAndWait(http, 0));
    ASSERT_TRUE(server.WaitForRequests(1));
    EXPECT_EQ(server.Requests()[0].mTarget, "/q?x=1?a=b");
}

TEST_F(HttpTest, PostSendsTheFormWithItsContentType)
{
    LoopbackServer server;
    TSimpleHttp http;
    http.Open(server.Url("/servlet/submit").c_str(), true);
    http.AddParameter("name", "a b&c");
    http.AddParameter("second", "2");
    EXPECT_EQ(http.GetFormText(), TString("name=a%20b%26c&second=2"));
    ASSERT_TRUE(SendAndWait(http, 0));
    EXPECT_EQ(http.GetStatus(), 1);
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].mMethod, "POST");
    EXPECT_EQ(requests[0].mTarget, "/servlet/submit");
    EXPECT_EQ(requests[0].mBody, "name=a%20b%26c&second=2");
    EXPECT_EQ(requests[0].mHeaders["content-type"], "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].mHeaders["user-agent"], "qmlib");
    EXPECT_EQ(requests[0].mHeaders["pragma"], "no-cache");
    EXPECT_EQ(requests[0].mHeaders.count("expect"), 0u);
}

TEST_F(HttpTest, PostWithoutParametersSendsAnEmptyForm)
{
    LoopbackServer server;
    TSimpleHttp http;
    ASSERT_TRUE(Fetch(http, 0, server.Url("/empty"), true));
    EXPECT_EQ(http.GetStatus(), 1);
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].mMethod, "POST");
    EXPECT_EQ(requests[0].mBody, "");
    EXPECT_EQ(requests[0].mHeaders["content-length"], "0");
    EXPECT_EQ(requests[0].mHeaders["content-type"], "application/x-www-form-urlencoded");
}

TEST_F(HttpTest, OpenStartsAFreshDescription)
{
    TSimpleHttp http;
    http.Open("http://127.0.0.1:1/a", true);
    http.AddParameter("x", "1");
    http.Open("http://127.0.0.1:1/b", true);
    http.AddParameter("y", "2");
    EXPECT_EQ(http.GetFormText(), TString("y=2"));
}

TEST_F(HttpTest, StatusStaysRunningUntilTheAnswerComes)
{
    LoopbackServer server;
    TSimpleHttp http;
    http.Open(server.Url("/hang").c_str(), false);
    http.Send(0);
    ASSERT_TRUE(server.WaitForRequests(1));
    // The server holds the answer, so the worker cannot have ended.
    EXPECT_EQ(http.GetStatus(), 0);
    EXPECT_EQ(http.GetResponseCode(), 0);
    server.Release();
    ASSERT_TRUE(WaitForEnd(http));
    EXPECT_EQ(http.GetStatus(), 1);
    EXPECT_EQ(http.GetResponseCode(), 200);
}

TEST_F(HttpTest, AnErrorPageFinishesWithItsCode)
{
    LoopbackServer server(404, "no such page");
    TSimpleHttp http;
    ASSERT_TRUE(Fetch(http, 0, server.Url("/missing"), true));
    EXPECT_EQ(http.GetStatus(), 1);
    EXPECT_EQ(http.GetResponseCode(), 404);
}

TEST_F(HttpTest, AnswerGoesToTheOutputFile)
{
    LoopbackServer server(200, "line one\nline two");
    TSimpleHttp http;
    ASSERT_TRUE(Fetch(http, 0, server.Url("/file"), false, "user:answers/answer.txt"));
    EXPECT_EQ(http.GetStatus(), 1);
    EXPECT_EQ(filetest::ReadBytes(mRoot + "/user/answers/answer.txt"), "line one\nline two");
}

TEST_F(HttpTest, LargeAnswersArriveWhole)
{
    std::string body;
    for (int i = 0; body.size() < 300000; ++i)
        body += std::to_string(i) + ",";
    LoopbackServer server(200, body);
    // In memory (the buffer grows as pieces come) and into a file, piece by piece.
    TSimpleHttp memory;
    memory.Open(server.Url("/big").c_str(), false);
    memory.Send(0);
    TSimpleHttp file;
    file.Open(server.Url("/big").c_str(), false, "user:big.txt");
    file.Send(0);
    ASSERT_TRUE(WaitForEnd(memory));
    ASSERT_TRUE(WaitForEnd(file));
    EXPECT_EQ(memory.GetStatus(), 1);
    EXPECT_EQ(file.GetStatus(), 1);
    EXPECT_EQ(filetest::ReadBytes(mRoot + "/user/big.txt"), body);
}

TEST_F(HttpTest, AnEmptyAnswerStillMakesTheOutputFile)
{
    LoopbackServer server(200, "");
    Write("user/old.txt", "previous");
    TSimpleHttp http;
    ASSERT_TRUE(Fetch(http, 0, server.Url("/file"), false, "user:old.txt"));
    EXPECT_EQ(http.GetStatus(), 1);
    EXPECT_EQ(filetest::ReadBytes(mRoot + "/user/old.txt"), "");
}

TEST_F(HttpTest, ABrokenOffAnswerLeavesTheOldOutputFile)
{
    LoopbackServer server(200, "partial");
    server.BreakOffAnswers();
    Write("user/old.txt", "previous");
    sWatchedFolder = mRoot + "/user";
    sNamesAtEnd = {"the status was never published"};
    struct Hook
    {
        Hook() { TSimpleHttp::SetStatusPublishedHook(ListWatchedFolder); }
        ~Hook() { TSimpleHttp::SetStatusPublishedHook(nullptr); }
    };
    {
        Hook hook;
        TSimpleHttp http;
        ASSERT_TRUE(Fetch(http, 0, server.Url("/file"), false, "user:old.txt"));
        EXPECT_EQ(http.GetStatus(), 2);
        // The worker has ended once its owner is gone, before the hook.
    }
    EXPECT_EQ(filetest::ReadBytes(mRoot + "/user/old.txt"), "previous");
    // No temporary file is left beside it, nor there when the status said the request failed.
    EXPECT_EQ(FolderNames(mRoot + "/user"), std::vector<std::string>{"old.txt"});
    EXPECT_EQ(sNamesAtEnd, std::vector<std::string>{"old.txt"});
}

TEST_F(HttpTest, AnAnswerTooLargeForMemoryFailsAtOnce)
{
    LoopbackServer server(200, "start of a huge answer");
    server.AnnounceBodyLength(static_cast<size_t>(TSimpleHttp::kMaxMemoryAnswerBytes) + 1);
    TSimpleHttp http;
    http.Open(server.Url("/huge").c_str(), false);
    http.Send(0);
    // The server keeps the connection open: only the announced size can end the request.
    ASSERT_TRUE(WaitForEnd(http));
    EXPECT_EQ(http.GetStatus(), 2);
    EXPECT_EQ(http.GetResponseCode(), 200);
    EXPECT_EQ(Log().find("Error creating connection"), std::string::npos) << Log();
    server.Release();
}

TEST_F(HttpTest, OutputFileThatCannotOpenGivesStatusThree)
{
    LoopbackServer server(200, "ignored");
    TSimpleHttp http;
    // An asset name the file layer does not know has nowhere to be written.
    ASSERT_TRUE(Fetch(http, 0, server.Url("/file"), false, "nowhere/answer.txt"));
    EXPECT_EQ(http.GetStatus(), 3);
    // Nor has a name that is a folder.
    Folder("user/taken");
    ASSERT_TRUE(Fetch(http, 0, server.Url("/file"), false, "user:taken"));
    EXPECT_EQ(http.GetStatus(), 3);
}

TEST_F(HttpTest, RefusedGetFailsAndLogsTheDirectRoad)
{
    int port = LoopbackServer::RefusedPort();
    TSimpleHttp http;
    ASSERT_TRUE(Fetch(http, 0, "http://127.0.0.1:" + std::to_string(port) + "/x", false));
    EXPECT_EQ(http.GetStatus(), 2);
    EXPECT_EQ(http.GetResponseCode(), 0);
    // 7: the connection could not be made.
    EXPECT_NE(Log().find(": Error creating connection (InternetOpenUrl) 7\n"), std::string::npos)
        << Log();
}

TEST_F(HttpTest, RefusedPostFailsWithoutALogLine)
{
    int port = LoopbackServer::RefusedPort();
    TSimpleHttp http;
    http.Open(("http://127.0.0.1:" + std::to_string(port) + "/x").c_str(), true);
    http.AddParameter("a", "1");
    ASSERT_TRUE(SendAndWait(http, 0));
    EXPECT_EQ(http.GetStatus(), 2);
    // Only describing the connection can fail loudly on this road; sending fails quietly.
    EXPECT_EQ(Log().find("Error creating connection"), std::string::npos) << Log();
}

TEST_F(HttpTest, UnusableAddressesLogTheirRoad)
{
    struct Case
    {
        const char* mUrl;
        bool mPost;
        const char* mLine;
    };
    const Case cases[] = {
        {"http://[bad/", false, ": Error creating connection (InternetOpenUrl) 3\n"},
        {"http://[bad/", true, ": Error creating connection (POST) 3\n"},
        {"https://[bad/", false, ": Error creating connection (HTTPS) 3\n"},
    };
    for (const Case& c : cases)
    {
        TSimpleHttp http;
        ASSERT_TRUE(Fetch(http, 0, c.mUrl, c.mPost));
        EXPECT_EQ(http.GetStatus(), 2);
        EXPECT_EQ(CountOccurrences(Log(), c.mLine), 1) << c.mLine << Log();
    }
}

TEST_F(HttpTest, HttpsToAServerWithoutTlsFailsQuietly)
{
    LoopbackServer server;
    TSimpleHttp http;
    ASSERT_TRUE(Fetch(http, TSimpleHttp::kHttpIgnoreCertName,
                      "https://127.0.0.1:" + std::to_string(server.Port()) + "/secure", false));
    EXPECT_EQ(http.GetStatus(), 2);
    EXPECT_EQ(server.RequestCount(), 0u);
    EXPECT_EQ(Log().find("Error creating connection"), std::string::npos) << Log();
}

TEST_F(HttpTest, OtherSchemesAreRefused)
{
    Write("user/secret.txt", "secret");
    TSimpleHttp http;
    ASSERT_TRUE(Fetch(http, 0, "file://" + mRoot + "/user/secret.txt", false, "user:copy.txt"));
    EXPECT_EQ(http.GetStatus(), 2);
    EXPECT_FALSE(sys::PathAccess(mRoot + "/user/copy.txt", 0));
}

TEST_F(HttpTest, SecondSendAbandonsTheFirst)
{
    LoopbackServer server;
    TSimpleHttp http;
    http.Open(server.Url("/hang").c_str(), false);
    http.Send(0);
    ASSERT_TRUE(server.WaitForRequests(1));
    // The first request is still held by the server; the second is answered.
    http.AddParameter("go", "1");
    ASSERT_TRUE(SendAndWait(http, 0));
    EXPECT_EQ(http.GetStatus(), 1);
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].mTarget, "/hang?go=1");
}

TEST_F(HttpTest, DestructorCancelsARunningWorker)
{
    LoopbackServer server;
    int before = TSimpleHttp::GetLiveWorkerCount();
    {
        // A new request description cancels the running one and waits for its worker.
        TSimpleHttp http;
        http.Open(server.Url("/hang").c_str(), true);
        http.Send(0);
        ASSERT_TRUE(server.WaitForRequests(1));
        http.Open(server.Url("/hang").c_str(), true);
        EXPECT_EQ(TSimpleHttp::GetLiveWorkerCount(), before);
        EXPECT_EQ(http.GetStatus(), TSimpleHttp::kHttpFailed);
    }
    {
        auto http = std::make_unique<TSimpleHttp>();
        http->Open(server.Url("/hang").c_str(), true);
        http->Send(0);
        ASSERT_TRUE(server.WaitForRequests(2));
        EXPECT_EQ(TSimpleHttp::GetLiveWorkerCount(), before + 1);
    }
    // The server never answers; the destructor cancelled the worker and joined it.
    EXPECT_EQ(TSimpleHttp::GetLiveWorkerCount(), before);
}
