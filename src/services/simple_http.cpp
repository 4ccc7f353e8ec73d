// TSimpleHttp over libcurl: request description, percent-encoding, and the worker thread that
// carries one request out; its owner joins it when cancelling or when destroyed.
#include "services/simple_http.h"

#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "sys/files/paths.h"

#include <curl/curl.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace
{

// Pieces of the answer are handed over at most this big.
constexpr long kReadPieceBytes = 32768;
// The worker's pass through its transfer loop; also how soon a cancelled request lets go (and so
// how long a cancel or the owner's destruction waits on the network).
constexpr long kPollMs = 1;
// Limits that keep a dead server from holding a worker (and an exit waiting on it) for ever.
constexpr long kConnectTimeoutMs = 60000;
constexpr long kStalledSeconds = 60;

std::atomic<int> sLiveWorkers{0};
std::atomic<void (*)()> sStatusPublished{nullptr};

// The one process-wide client library set-up; it lives for the rest of the process.
bool OpenSession()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once,
                   []
                   {
                       ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
                       if (!ok)
                           Log("Error creating HTTP session");
                   });
    return ok;
}

bool StartsWith(const char* text, const char* prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// The percent code of each character that UrlEncode replaces; null for the bytes copied as they
// are.
const char* PercentCode(unsigned char c)
{
    switch (c)
    {
    case ' ':
        return "%20";
    case '"':
        return "%22";
    case '#':
        return "%23";
    case '$':
        return "%24";
    case '%':
        return "%25";
    case '&':
        return "%26";
    case '+':
        return "%2B";
    case ',':
        return "%2C";
    case '/':
        return "%2F";
    case ':':
        return "%3A";
    case ';':
        return "%3B";
    case '<':
        return "%3C";
    case '=':
        return "%3D";
    case '>':
        return "%3E";
    case '?':
        return "%3F";
    case '@':
        return "%40";
    case '[':
        return "%5B";
    case '\\':
        return "%5C";
    case ']':
        return "%5D";
    case '^':
        return "%5E";
    case '`':
        return "%60";
    case '{':
        return "%7B";
    case '|':
        return "%7C";
    case '}':
        return "%7D";
    default:
        return nullptr;
    }
}

// Which way a request goes out, and so which failure it names in the log.
enum class Road
{
    Https,
    Post,
    Direct,
};

// Failures that mean the connection could not even be described (bad address, no such scheme):
// on the connection roads only these are logged; a server that cannot be reached is not.
bool IsConnectionSetupError(CURLcode code)
{
    return code == CURLE_UNSUPPORTED_PROTOCOL || code == CURLE_FAILED_INIT ||
           code == CURLE_URL_MALFORMAT || code == CURLE_OUT_OF_MEMORY ||
           code == CURLE_BAD_FUNCTION_ARGUMENT;
}

} // namespace

// One request. The owner reads the atomics while the worker runs and frees the record after
// joining the worker's thread.
struct TSimpleHttp::Worker
{
    std::string mUrl;
    // Logical name of the output file (empty: keep the answer in memory) and where it lives,
    // found on the owner's thread because the file layer's map is not shared between threads.
    std::string mOutputFile;
    std::string mOutputLocation;
    std::string mUserFolder;
    std::string mCommonFolder;
    std::string mBody;
    uint32_t mOptions = 0;
    bool mIsPost = false;

    std::atomic<bool> mCancel{false};
    std::atomic<int32_t> mStatus{kHttpRunning};
    std::atomic<int> mResponseCode{0};

    // Receiver state, the worker's own.
    uint64_t mReceived = 0;
    std::string mAnswer;
    // The answer is written beside the output file under a temporary name, and replaces the file
    // only when it arrived whole: a failed or cancelled request leaves the old file as it was.
    std::FILE* mFile = nullptr;
    std::string mTempPath;
    bool mReceiverReady = false;
    bool mFileOpenFailed = false;
    bool mFileWriteFailed = false;

    ~Worker() { DiscardOutput(); }

    void DiscardOutput()
    {
        if (mFile == nullptr)
            return;
        std::fclose(mFile);
        mFile = nullptr;
        sys::RemoveFile(mTempPath);
    }
    // Closes the output and puts it in place; false when that fails.
    bool CommitOutput()
    {
        if (mFile == nullptr)
            return true;
        bool closed = std::fclose(mFile) == 0;
        mFile = nullptr;
        if (closed && sys::RenameFile(mTempPath, mOutputLocation))
            return true;
        sys::RemoveFile(mTempPath);
        return false;
    }

    bool PrepareReceiver();
    bool Receive(const char* piece, size_t size);
    void Run();
};

namespace
{

// The folders on the way to an output file below the user or common folder are made, the folder
// itself among them, as the file layer does for any file it writes.
void MakeFoldersBelow(const std::string& location, const std::string& user,
                      const std::string& common)
{
    for (const std::string* base : {&user, &common})
    {
        if (base->empty() || location.size() <= base->size() ||
            location.compare(0, base->size(), *base) != 0 || location[base->size()] != '/')
            continue;
        for (size_t slash = location.find('/', 1); slash != std::string::npos;
             slash = location.find('/', slash + 1))
            sys::MakeFolder(location.substr(0, slash));
        return;
    }
}

size_t OnBodyPiece(char* data, size_t size, size_t count, void* user)
{
    auto* worker = static_cast<TSimpleHttp::Worker*>(user);
    size_t bytes = size * count;
    if (!worker->PrepareReceiver() || !worker->Receive(data, bytes))
        return 0;
    return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* worker = static_cast<TSimpleHttp::Worker*>(user);
    return worker->mCancel.load() ? 1 : 0;
}

} // namespace

bool TSimpleHttp::Worker::PrepareReceiver()
{
    if (mReceiverReady)
        return !mFileOpenFailed;
    mReceiverReady = true;
    if (mOutputFile.empty())
        return true;
    // Memory blocks ("&") and pack entries ("@") are no place to write to.
    if (!mOutputLocation.empty() && mOutputLocation[0] != '&' && mOutputLocation[0] != '@')
    {
        sys::FileStat existing;
        bool isFolder = sys::StatPath(mOutputLocation, existing) && existing.isFolder;
        if (!isFolder)
        {
            MakeFoldersBelow(mOutputLocation, mUserFolder, mCommonFolder);
            // Made new, never through whatever is at the name (a planted link above all).
            std::string reason;
            mFile = sys::CreateTemporaryFile(mOutputLocation, ".part", mTempPath, reason);
        }
    }
    mFileOpenFailed = mFile == nullptr;
    return !mFileOpenFailed;
}

bool TSimpleHttp::Worker::Receive(const char* piece, size_t size)
{
    mReceived += size;
    if (mFile != nullptr)
    {
        if (std::fwrite(piece, 1, size, mFile) != size)
        {
            mFileWriteFailed = true;
            return false;
        }
        return true;
    }
    if (mReceived > kMaxMemoryAnswerBytes)
        return false;
    mAnswer.append(piece, size);
    return true;
}

void TSimpleHttp::Worker::Run()
{
    Road road = StartsWith(mUrl.c_str(), "https:") ? Road::Https
                : mIsPost                          ? Road::Post
                                                   : Road::Direct;
    const char* roadName = road == Road::Https  ? "HTTPS"
                           : road == Road::Post ? "POST"
                                                : "InternetOpenUrl";

    CURL* easy = curl_easy_init();
    CURLM* multi = easy != nullptr ? curl_multi_init() : nullptr;
    if (easy == nullptr || multi == nullptr)
    {
        Log("Error creating connection (%s) %d", roadName, static_cast<int>(CURLE_OUT_OF_MEMORY));
        if (easy != nullptr)
            curl_easy_cleanup(easy);
        mStatus = kHttpFailed;
        return;
    }

    curl_slist* headers = nullptr;
    curl_easy_setopt(easy, CURLOPT_URL, mUrl.c_str());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "qmlib");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReadPieceBytes);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBodyPiece);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kStalledSeconds);
    // An answer announced longer than memory may hold is refused before any of it is read.
    if (mOutputFile.empty())
        curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE,
                         static_cast<curl_off_t>(kMaxMemoryAnswerBytes));
    if (road == Road::Https && (mOptions & kHttpIgnoreCertName) != 0)
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    if (road != Road::Direct)
    {
        // The connection roads bypass caches on the way, and send a form as such.
        headers = curl_slist_append(headers, "Pragma: no-cache");
        if (mIsPost)
            headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
        // The body goes at once, without first asking the server whether it wants it.
        headers = curl_slist_append(headers, "Expect:");
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    }
    if (mIsPost)
    {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(mBody.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, mBody.c_str());
    }
    curl_multi_add_handle(multi, easy);

    bool ended = false;
    CURLcode result = CURLE_OK;
    while (!mCancel.load())
    {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK)
        {
            result = CURLE_FAILED_INIT;
            ended = true;
            break;
        }
        if (running == 0)
        {
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &left))
            {
                if (message->msg == CURLMSG_DONE && message->easy_handle == easy)
                    result = message->data.result;
            }
            ended = true;
            break;
        }
        curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr);
    }

    if (ended)
    {
        long code = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
        int32_t status = kHttpFinished;
        if (result == CURLE_OK)
        {
            // An answer without a body still makes (or empties) the output file.
            if (!PrepareReceiver())
                status = kHttpOutputFileFailed;
        }
        else if (mFileOpenFailed)
            status = kHttpOutputFileFailed;
        else
        {
            status = kHttpFailed;
            bool requestMade = code != 0 || mReceiverReady;
            if (!requestMade && (road == Road::Direct || IsConnectionSetupError(result)))
                Log("Error creating connection (%s) %d", roadName, static_cast<int>(result));
        }
        if (mFileWriteFailed)
            status = kHttpFailed;
        if (status == kHttpFinished && !CommitOutput())
            status = kHttpFailed;
        // A failed answer's partial file goes before the status says the request ended: a reader
        // of the status (or a program that ends on it) finds the old file alone.
        DiscardOutput();
        mResponseCode = static_cast<int>(code);
        mStatus = status;
        if (auto published = sStatusPublished.load())
            published();
    }

    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
    curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
    DiscardOutput();
}

TSimpleHttp::TSimpleHttp() = default;

TSimpleHttp::~TSimpleHttp()
{
    CancelWorker();
}

void TSimpleHttp::CancelWorker()
{
    if (mWorker == nullptr)
        return;
    mWorker->mCancel = true;
    if (mThread.joinable())
        mThread.join();
    mWorker.reset();
}

void TSimpleHttp::Open(const char* url, bool isPost, const char* outputFile)
{
    OpenSession();
    mUrl = url != nullptr ? url : "";
    mOutputFile = outputFile != nullptr ? outputFile : "";
    mIsPost = isPost;
    mFormText = TString();
    mFirstParameter = true;
    CancelWorker();
}

void TSimpleHttp::AddParameter(const char* name, const char* value)
{
    TString pair = TString(name != nullptr ? name : "") + TString("=") + UrlEncode(value);
    if (mIsPost)
    {
        if (!mFirstParameter)
            mFormText += '&';
        mFormText += pair;
    }
    else
    {
        mUrl += mFirstParameter ? '?' : '&';
        mUrl += pair;
    }
    mFirstParameter = false;
}

TString TSimpleHttp::UrlEncode(const char* text)
{
    TString result;
    if (text == nullptr)
        return result;
    std::string encoded;
    for (const char* p = text; *p != '\0'; ++p)
    {
        if (const char* code = PercentCode(static_cast<unsigned char>(*p)))
            encoded += code;
        else
            encoded += *p;
    }
    result = encoded.c_str();
    return result;
}

void TSimpleHttp::Send(uint32_t options)
{
    CancelWorker();
    OpenSession();
    auto worker = std::make_unique<Worker>();
    worker->mUrl = mUrl.c_str();
    worker->mOutputFile = mOutputFile.c_str();
    if (mOutputFile.Length() > 0)
    {
        worker->mOutputLocation = ResolvePath(mOutputFile, false).c_str();
        worker->mUserFolder = GetUserDataFolder().c_str();
        worker->mCommonFolder = GetCommonDataFolder().c_str();
    }
    worker->mBody.assign(mFormText.c_str(), static_cast<size_t>(mFormText.Length()));
    worker->mIsPost = mIsPost;
    worker->mOptions = options;

    ++sLiveWorkers;
    try
    {
        mThread = std::thread(
            [record = worker.get()]
            {
                record->Run();
                --sLiveWorkers;
            });
    }
    catch (const std::system_error&)
    {
        --sLiveWorkers;
        Log("Error starting HTTP worker");
        worker->mStatus = kHttpFailed;
    }
    mWorker = std::move(worker);
}

int32_t TSimpleHttp::GetStatus() const
{
    return mWorker != nullptr ? mWorker->mStatus.load() : kHttpFailed;
}

int TSimpleHttp::GetResponseCode() const
{
    if (mWorker == nullptr || mWorker->mStatus.load() == kHttpRunning)
        return 0;
    return mWorker->mResponseCode.load();
}

int TSimpleHttp::GetLiveWorkerCount()
{
    return sLiveWorkers.load();
}

void TSimpleHttp::SetStatusPublishedHook(void (*hook)())
{
    sStatusPublished = hook;
}
