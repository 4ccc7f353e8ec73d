// Test support: a tiny HTTP server on 127.0.0.1 (ephemeral port) running in a thread, recording
// each request and answering with a set status and body. Requests whose target ends in "hang" are
// held unanswered (all of them after HoldAll()) until Release() or the server stops.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httptest
{

struct Request
{
    std::string mMethod;
    std::string mTarget;
    // Header names in lower case.
    std::map<std::string, std::string> mHeaders;
    std::string mBody;
};

// Every wait in these tests is bounded by this many 10 ms steps.
constexpr int kWaitSteps = 500;

template <typename Condition> bool WaitUntil(Condition condition)
{
    for (int i = 0; i < kWaitSteps; ++i)
    {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

class LoopbackServer
{
public:
    explicit LoopbackServer(int status = 200, std::string body = "answer")
        : mStatus(status), mBody(std::move(body))
    {
        mListener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        int yes = 1;
        setsockopt(mListener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
        if (bind(mListener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            listen(mListener, 8) != 0)
        {
            ADD_FAILURE() << "loopback server could not listen";
            return;
        }
        socklen_t length = sizeof(address);
        getsockname(mListener, reinterpret_cast<sockaddr*>(&address), &length);
        mPort = ntohs(address.sin_port);
        mThread = std::thread([this] { Serve(); });
    }

    ~LoopbackServer()
    {
        mStop = true;
        if (mThread.joinable())
            mThread.join();
        close(mListener);
    }

    int Port() const { return mPort; }
    std::string Url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(mPort) + path;
    }
    void SetAnswer(int status, const std::string& body)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mStatus = status;
        mBody = body;
    }
    void Release() { mReleased = true; }
    // Holds every request, whatever its target.
    void HoldAll() { mHoldAll = true; }
    // Announces more body than is sent, then closes: the answer breaks off.
    void BreakOffAnswers() { mBreakOff = true; }
    // Announces this many body bytes, sends the set body and keeps the connection open, silent,
    // until Release() or the server stops.
    void AnnounceBodyLength(size_t length) { mAnnouncedLength = length; }

    std::vector<Request> Requests()
    {
        std::lock_guard<std::mutex> lock(mMutex);
        return mRequests;
    }
    size_t RequestCount()
    {
        std::lock_guard<std::mutex> lock(mMutex);
        return mRequests.size();
    }
    bool WaitForRequests(size_t count)
    {
        return WaitUntil([&] { return RequestCount() >= count; });
    }

    // A loopback port on which nothing listens: connecting to it is refused.
    static int RefusedPort()
    {
        int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        socklen_t length = sizeof(address);
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
        close(s);
        return ntohs(address.sin_port);
    }

private:
    // Waits (in 20 ms steps, until the server stops) for the socket to become readable.
    bool WaitReadable(int s)
    {
        while (!mStop)
        {
            pollfd entry{s, POLLIN, 0};
            int ready = poll(&entry, 1, 20);
            if (ready > 0)
                return true;
            if (ready < 0)
                return false;
        }
        return false;
    }

    void Serve()
    {
        while (WaitReadable(mListener))
        {
            int client = accept(mListener, nullptr, nullptr);
            if (client < 0)
                continue;
            // One thread per connection, so a held request does not block the next one.
            mClients.emplace_back(
                [this, client]
                {
                    Handle(client);
                    close(client);
                });
        }
        for (std::thread& thread : mClients)
            thread.join();
    }

    void Handle(int client)
    {
        std::string data;
        char buffer[4096];
        size_t headerEnd = std::string::npos;
        while (headerEnd == std::string::npos)
        {
            if (!WaitReadable(client))
                return;
            ssize_t got = recv(client, buffer, sizeof(buffer), 0);
            if (got <= 0)
                return;
            data.append(buffer, static_cast<size_t>(got));
            // Anything but an HTTP request line (a TLS greeting, say) is dropped at once.
            if (data[0] < 'A' || data[0] > 'Z')
                return;
            headerEnd = data.find("\r\n\r\n");
        }
        Request request;
        std::string head = data.substr(0, headerEnd);
        size_t lineEnd = head.find("\r\n");
        std::string first = head.substr(0, lineEnd);
        size_t space = first.find(' ');
        request.mMethod = first.substr(0, space);
        request.mTarget = first.substr(space + 1, first.rfind(' ') - space - 1);
        size_t pos = lineEnd;
        while (pos != std::string::npos && pos < head.size())
        {
            size_t next = head.find("\r\n", pos + 2);
            std::string line = head.substr(pos + 2, next == std::string::npos ? std::string::npos
                                                                              : next - pos - 2);
            size_t colon = line.find(':');
            if (colon != std::string::npos)
            {
                std::string name = line.substr(0, colon);
                for (char& c : name)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                size_t valueStart = line.find_first_not_of(' ', colon + 1);
                request.mHeaders[name] =
                    valueStart == std::string::npos ? "" : line.substr(valueStart);
            }
            pos = next;
        }
        size_t bodyLength = 0;
        if (request.mHeaders.count("content-length"))
            bodyLength = std::strtoul(request.mHeaders["content-length"].c_str(), nullptr, 10);
        request.mBody = data.substr(headerEnd + 4);
        while (request.mBody.size() < bodyLength)
        {
            if (!WaitReadable(client))
                return;
            ssize_t got = recv(client, buffer, sizeof(buffer), 0);
            if (got <= 0)
                return;
            request.mBody.append(buffer, static_cast<size_t>(got));
        }

        int status;
        std::string body;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mRequests.push_back(request);
            status = mStatus;
            body = mBody;
        }
        const std::string& target = request.mTarget;
        if (mHoldAll || (target.size() >= 4 && target.compare(target.size() - 4, 4, "hang") == 0))
        {
            while (!mStop && !mReleased)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (mStop)
                return;
        }
        size_t announced =
            mAnnouncedLength != 0 ? mAnnouncedLength.load() : body.size() + (mBreakOff ? 100 : 0);
        std::string answer =
            "HTTP/1.1 " + std::to_string(status) + " Status\r\n" +
            "Content-Type: text/plain\r\nContent-Length: " + std::to_string(announced) +
            "\r\nConnection: close\r\n\r\n" + body;
        send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
        if (mAnnouncedLength != 0)
        {
            while (!mStop && !mReleased)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    int mListener = -1;
    int mPort = 0;
    std::thread mThread;
    std::vector<std::thread> mClients;
    std::atomic<bool> mStop{false};
    std::atomic<bool> mReleased{false};
    std::atomic<bool> mHoldAll{false};
    std::atomic<bool> mBreakOff{false};
    std::atomic<size_t> mAnnouncedLength{0};
    std::mutex mMutex;
    int mStatus;
    std::string mBody;
    std::vector<Request> mRequests;
};

} // namespace httptest
