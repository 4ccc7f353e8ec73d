// TSimpleHttp: one HTTP or HTTPS request at a time, carried out on a worker thread of its own and
// polled through a status word, so the caller's thread never waits on the network.
#pragma once

#include "platform/strings/tstring.h"

#include <cstdint>
#include <memory>
#include <thread>

class TSimpleHttp
{
public:
    // Option bits of Send.
    enum : uint32_t
    {
        // Keep the answer out of the local cache (this platform keeps none).
        kHttpNoCacheWrite = 1,
        // HTTPS: accept a certificate whose name does not match the host. The certificate is
        // still checked against the system's authorities.
        kHttpIgnoreCertName = 2,
    };
    // An answer kept in memory may grow to this size; a longer one fails the request (status 2)
    // instead of exhausting the machine's memory. Answers written to a file have no limit.
    static constexpr uint64_t kMaxMemoryAnswerBytes = uint64_t(64) << 20;
    // Values of GetStatus.
    enum : int32_t
    {
        kHttpRunning = 0,
        kHttpFinished = 1,
        kHttpFailed = 2,
        kHttpOutputFileFailed = 3,
    };

    TSimpleHttp();
    TSimpleHttp(const TSimpleHttp&) = delete;
    TSimpleHttp& operator=(const TSimpleHttp&) = delete;
    // Cancels a running request and waits for its worker to end.
    virtual ~TSimpleHttp();

    // Starts a new request description. `outputFile` is the logical name that receives the answer
    // (null or empty: the answer stays in memory). Cancels an earlier request.
    void Open(const char* url, bool isPost, const char* outputFile = nullptr);
    // name=value with the value percent-encoded: joined to the form text ("&" between pairs) for a
    // POST, to the URL ("?" first, then "&") for a GET. Names are taken as they are.
    void AddParameter(const char* name, const char* value);
    // Replaces exactly the 24 characters that break a form field; every other byte is copied.
    static TString UrlEncode(const char* text);

    // Starts the request described since Open on a new worker; cancels an earlier one.
    void Send(uint32_t options);
    // 0 while running, 1 finished, 2 failed (also when nothing was sent), 3 the output file did
    // not open. An error page from the server still finishes with 1: see GetResponseCode.
    int32_t GetStatus() const;
    // The server's HTTP status code (200, 404, ...) once the request has ended; 0 before that,
    // when no answer came, or when nothing was sent.
    int GetResponseCode() const;
    TString GetFormText() const { return mFormText; }

    // Worker threads of all clients that have not ended yet.
    static int GetLiveWorkerCount();
    // Called on a worker's thread at once after it publishes its request's end (null: nothing), so
    // that a test sees what a reader of the status finds at that moment.
    static void SetStatusPublishedHook(void (*hook)());

    // One request's record, shared with its worker thread (defined with the worker).
    struct Worker;

private:
    // Tells a running worker to stop, joins its thread and drops the record.
    void CancelWorker();

    TString mUrl;
    TString mOutputFile;
    TString mFormText;
    bool mFirstParameter = true;
    bool mIsPost = false;
    // The record outlives the thread: the owner reads its status after the thread has ended.
    std::unique_ptr<Worker> mWorker;
    std::thread mThread;
};
