#include "app/scan_stream.h"

#include "app/main_state.h"
#include "app/summary_json.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <iostream>
#include <sched.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace era {

namespace {

// How many items the parent deals to a worker before it waits for that worker's first answer:
// enough that a worker never idles while the parent reads another's, few enough to hold.
constexpr size_t ItemsAheadPerWorker = 4;

// Scans one item in this process and takes what it added to the shown memo, the log and the
// state's counts; the memos keep nothing of it.
TItemOutput ScanOne(TMainState& state, TItemLines lines, const std::string& item) {
    TItemOutput output;
    output.Item = item;
    const size_t missing = state.MissingItems.size();
    const size_t failed = state.FailedItems.size();
    const int done = state.ItemsDone;
    auto told = std::move(state.OnMemoLines);
    const bool keep = state.KeepMemoLines;
    state.OnMemoLines = [&output, &state, lines](const TStringList& memo, int from) {
        const bool detail = &memo == &state.MemoDebug;
        std::vector<std::string>* taken = nullptr;
        if (lines == TItemLines::Both)
            taken = detail ? &output.DetailLines : &output.Lines;
        else if (detail == (lines == TItemLines::Details))
            taken = &output.Lines;
        if (!taken) return;
        for (int i = from; i < memo.Count(); ++i)
            taken->push_back(memo.Strings(i));
    };
    state.KeepMemoLines = false;
    state.ScanItem(item);
    // The rows go on as records, and are not kept: a scan's memory does not grow with its items.
    for (const auto& row : state.SummaryRows)
        output.Records.push_back(SummaryRowJson(row));
    state.SummaryRows.clear();
    state.OnMemoLines = std::move(told);
    state.KeepMemoLines = keep;
    for (const auto& line : state.ListBoxLog.Items())
        output.Log.push_back(line.Text);
    state.ListBoxLog.Clear();
    output.Missing = state.MissingItems.size() > missing;
    if (state.FailedItems.size() > failed) output.Failure = state.FailedItems.back().Reason;
    output.Done = state.ItemsDone > done;
    return output;
}

// --- Frames on a worker's socket: a 32-bit length and that many bytes.

bool SendAll(int socket, const char* data, size_t size) {
    while (size > 0) {
        // No SIGPIPE for a peer that has gone: the caller learns of it from the result.
        const ssize_t n = ::send(socket, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReceiveAll(int socket, char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::read(socket, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void PutNumber(std::string& frame, uint32_t number) {
    frame.append(reinterpret_cast<const char*>(&number), 4);
}

void PutText(std::string& frame, const std::string& text) {
    PutNumber(frame, static_cast<uint32_t>(text.size()));
    frame += text;
}

bool SendFrame(int socket, const std::string& payload) {
    std::string frame;
    PutText(frame, payload);
    return SendAll(socket, frame.data(), frame.size());
}

bool ReceiveFrame(int socket, std::string& payload) {
    uint32_t size = 0;
    if (!ReceiveAll(socket, reinterpret_cast<char*>(&size), 4)) return false;
    payload.resize(size);
    return ReceiveAll(socket, payload.data(), size);
}

std::string Encoded(const TItemOutput& output) {
    std::string frame;
    PutNumber(frame, (output.Missing ? 1u : 0u) | (output.Done ? 2u : 0u));
    PutText(frame, output.Failure);
    for (const auto* lines : {&output.Lines, &output.DetailLines, &output.Records, &output.Log}) {
        PutNumber(frame, static_cast<uint32_t>(lines->size()));
        for (const auto& line : *lines)
            PutText(frame, line);
    }
    return frame;
}

// Reads a frame made by Encoded; false when it is cut short.
class TFrameReader {
public:
    explicit TFrameReader(const std::string& frame) : frame_(frame) {}
    bool Number(uint32_t& number) {
        if (frame_.size() - at_ < 4) return false;
        std::memcpy(&number, frame_.data() + at_, 4);
        at_ += 4;
        return true;
    }
    bool Text(std::string& text) {
        uint32_t size = 0;
        if (!Number(size) || frame_.size() - at_ < size) return false;
        text.assign(frame_, at_, size);
        at_ += size;
        return true;
    }
    bool AtEnd() const { return at_ == frame_.size(); }

private:
    const std::string& frame_;
    size_t at_ = 0;
};

bool Decoded(const std::string& frame, TItemOutput& output) {
    TFrameReader reader(frame);
    uint32_t flags = 0;
    if (!reader.Number(flags) || !reader.Text(output.Failure)) return false;
    output.Missing = (flags & 1u) != 0;
    output.Done = (flags & 2u) != 0;
    for (auto* lines : {&output.Lines, &output.DetailLines, &output.Records, &output.Log}) {
        uint32_t count = 0;
        if (!reader.Number(count)) return false;
        for (uint32_t i = 0; i < count; ++i)
            if (!reader.Text(lines->emplace_back())) return false;
    }
    return reader.AtEnd();
}

// --- The workers

struct TWorker {
    pid_t Pid = -1;
    int Socket = -1;
    std::deque<std::string> Items; // dealt and not yet answered, in the order dealt
};

// A worker's life: items in, outputs out, until the parent closes its end.
[[noreturn]] void WorkerMain(TMainState& state, TItemLines lines, int socket) {
    // Ctrl-C is the parent's to handle: it stops dealing and ends the workers by closing.
    std::signal(SIGINT, SIG_IGN);
    // The parent's result cache file and status bar stay the parent's: the worker drops them
    // without their destructors (which would delete the file or write to the terminal) and
    // keeps a cache file of its own, so that no two processes write one file.
    (void)state.ResultCache.release();
    state.ResultCache = std::make_unique<TCache>();
    (void)state.StatusBar.release();
    state.StatusBar = std::make_unique<TStatusBar>();
    state.ItemFinished = nullptr;
    int status = 0;
    try {
        for (std::string item; ReceiveFrame(socket, item);) {
            const TItemOutput output = ScanOne(state, lines, item);
            state.MissingItems.clear();
            state.FailedItems.clear();
            if (!SendFrame(socket, Encoded(output))) {
                status = 1;
                break;
            }
        }
    } catch (...) {
        status = 1;
    }
    state.ResultCache.reset();
    // No exit handlers, no flushing of what the parent had buffered: the parent's alone.
    ::_exit(status);
}

// Forks a worker into the slot; the sockets of the other workers are closed in it, so that each
// worker sees the end of its items when the parent closes its socket.
void Start(TMainState& state, TItemLines lines, std::vector<TWorker>& workers, size_t slot) {
    int sockets[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0)
        throw std::runtime_error(std::string("cannot start a worker process: ") + std::strerror(errno));
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(sockets[0]);
        for (const auto& worker : workers)
            if (worker.Socket >= 0) ::close(worker.Socket);
        WorkerMain(state, lines, sockets[1]);
    }
    const int error = errno;
    ::close(sockets[1]);
    if (pid < 0) {
        ::close(sockets[0]);
        throw std::runtime_error(std::string("cannot start a worker process: ") + std::strerror(error));
    }
    workers[slot].Pid = pid;
    workers[slot].Socket = sockets[0];
}

// Ends the worker (closing its socket ends its loop; a worker that broke the protocol is
// killed) and says how it ended.
std::string Stop(TWorker& worker, bool kill) {
    if (worker.Socket >= 0) ::close(worker.Socket);
    worker.Socket = -1;
    if (worker.Pid <= 0) return {};
    if (kill) ::kill(worker.Pid, SIGKILL);
    int status = 0;
    pid_t reaped;
    do
        reaped = ::waitpid(worker.Pid, &status, 0);
    while (reaped < 0 && errno == EINTR);
    worker.Pid = -1;
    if (reaped < 0) return "the worker process was lost";
    if (WIFSIGNALED(status)) {
        const int number = WTERMSIG(status);
        return "the worker process was ended by signal " + std::to_string(number) + " (" +
               ::strsignal(number) + ")";
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        return "the worker process exited with status " + std::to_string(WEXITSTATUS(status));
    return "the worker process ended without an answer";
}

// The workers of one scan; whatever way the scan ends, none is left behind.
class TWorkers {
public:
    TWorkers(TMainState& state, TItemLines lines, size_t count)
        : state_(state), lines_(lines), workers_(count) {
        for (size_t slot = 0; slot < count; ++slot)
            Start(state_, lines_, workers_, slot);
    }
    ~TWorkers() {
        for (auto& worker : workers_)
            Stop(worker, worker.Items.size() > 0);
    }
    TWorkers(const TWorkers&) = delete;
    TWorkers& operator=(const TWorkers&) = delete;

    size_t Count() const { return workers_.size(); }

    void Deal(size_t slot, const std::string& item) {
        TWorker& worker = workers_[slot];
        worker.Items.push_back(item);
        // A worker that is gone is found when its answer is read.
        SendFrame(worker.Socket, item);
    }

    // The answer to the oldest item dealt to the worker. A worker that ended before answering
    // fails that item with the cause, and a new worker takes the items it had still to do.
    TItemOutput Answer(size_t slot) {
        TWorker& worker = workers_[slot];
        TItemOutput output;
        std::string frame;
        const bool received = ReceiveFrame(worker.Socket, frame);
        if (!received || !Decoded(frame, output)) {
            output = TItemOutput{};
            output.Failure = Stop(worker, received);
            Start(state_, lines_, workers_, slot);
            for (size_t i = 1; i < worker.Items.size(); ++i)
                SendFrame(worker.Socket, worker.Items[i]);
        }
        output.Item = worker.Items.front();
        worker.Items.pop_front();
        return output;
    }

private:
    TMainState& state_;
    TItemLines lines_;
    std::vector<TWorker> workers_;
};

void ScanInWorkers(TMainState& state, TItemLines lines, size_t jobs, const TNextItem& next,
                   const TDeliverItem& deliver) {
    TWorkers workers(state, lines, jobs);
    size_t dealt = 0, delivered = 0;
    bool more = true;
    for (;;) {
        while (more && dealt - delivered < jobs * ItemsAheadPerWorker) {
            std::string item;
            more = next(item);
            if (more) workers.Deal(dealt++ % jobs, item);
        }
        if (delivered == dealt) break;
        const TItemOutput output = workers.Answer(delivered++ % jobs);
        // The counts a scan in this process keeps itself.
        if (output.Missing) state.MissingItems.push_back(output.Item);
        if (!output.Failure.empty()) state.FailedItems.push_back({output.Item, output.Failure});
        if (output.Done) ++state.ItemsDone;
        deliver(output);
    }
}

} // namespace

void ScanItems(TMainState& state, TItemLines lines, int jobs, const TNextItem& next,
               const TDeliverItem& deliver) {
    if (jobs > 1) {
        ScanInWorkers(state, lines, static_cast<size_t>(jobs), next, deliver);
        return;
    }
    for (std::string item; next(item);)
        deliver(ScanOne(state, lines, item));
}

int AvailableCores() {
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

} // namespace era
