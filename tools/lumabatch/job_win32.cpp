// The Windows side of job_system.h. Each file is decoded by a reader program of its own
// (lumabatch-reader.exe beside the tool), in a job object that ends it with the tool and limits
// its memory, time and user interface, under a restricted token at low integrity where Windows
// grants one. It gets the open file as an inherited handle and sends back over a pipe either a
// JPEG photo converted whole by the Linux tool's JPEG reader, or the pixels WIC decoded; the
// tool checks the reply, and encodes the pixels' JPEG itself.

#include "base/text.h"
#include "base/wide_text.h"
#include "job_system.h"
#include "lumabatch/inside/text_util.h"
#include "lumabatch/wic/reader_reply.h"
#include "lumabatch/wic/wic_image.h"

#include <condition_variable>
#include <deque>
#include <io.h>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <variant>
#include <windows.h>

namespace fs = std::filesystem;

namespace pxw::lumabatch::sys {

namespace {

constexpr std::uint64_t MiB = std::uint64_t { 1024 } * 1024;
/// The largest image a reader may decode or send back, and the memory it may use for it.
constexpr std::uint64_t PixelBudget = 100'000'000;
constexpr std::uint64_t ReaderMemoryLimit = 1536 * MiB;
constexpr const char* DamagedReply = "the image reader sent a damaged reply";
constexpr const char* CrashedReply = "the image reader crashed on this file";

std::string windowsErrorText(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = length ? oneLine(base::narrowed(std::wstring_view(text, length)))
                                 : "error " + std::to_string(code);
    LocalFree(text);
    return message;
}

struct Handle {
    HANDLE value = nullptr;
    Handle() = default;
    explicit Handle(HANDLE handle)
        : value(handle == INVALID_HANDLE_VALUE ? nullptr : handle) { }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { reset(); }
    void reset() {
        if (value)
            CloseHandle(value);
        value = nullptr;
    }
    explicit operator bool() const { return value != nullptr; }
};

// A restricted copy of the tool's token at low integrity, for the readers; none (and *why set)
// when Windows refuses one.
HANDLE lowIntegrityToken(std::string* why) {
    HANDLE own = nullptr;
    HANDLE restricted = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(),
            TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY | TOKEN_ADJUST_DEFAULT, &own)
        || !CreateRestrictedToken(
            own, DISABLE_MAX_PRIVILEGE, 0, nullptr, 0, nullptr, 0, nullptr, &restricted)) {
        *why = windowsErrorText(GetLastError());
        if (own)
            CloseHandle(own);
        return nullptr;
    }
    CloseHandle(own);
    SID_IDENTIFIER_AUTHORITY label = SECURITY_MANDATORY_LABEL_AUTHORITY;
    PSID low = nullptr;
    TOKEN_MANDATORY_LABEL level {};
    bool lowered = AllocateAndInitializeSid(
        &label, 1, SECURITY_MANDATORY_LOW_RID, 0, 0, 0, 0, 0, 0, 0, &low);
    if (lowered) {
        level.Label.Attributes = SE_GROUP_INTEGRITY;
        level.Label.Sid = low;
        lowered = SetTokenInformation(
            restricted, TokenIntegrityLevel, &level, sizeof level + GetLengthSid(low));
    }
    if (!lowered) {
        *why = windowsErrorText(GetLastError());
        CloseHandle(restricted);
        restricted = nullptr;
    }
    if (low)
        FreeSid(low);
    return restricted;
}

// The job a reader runs in: it dies with the tool, on an unhandled exception, at its memory
// or time limit, and touches no other window, clipboard or system setting.
HANDLE readerJob(std::chrono::seconds timeLimit) {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE
        | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION | JOB_OBJECT_LIMIT_PROCESS_MEMORY
        | JOB_OBJECT_LIMIT_PROCESS_TIME | JOB_OBJECT_LIMIT_ACTIVE_PROCESS;
    limits.BasicLimitInformation.PerProcessUserTimeLimit.QuadPart = timeLimit.count() * 10'000'000;
    limits.BasicLimitInformation.ActiveProcessLimit = 1;
    limits.ProcessMemoryLimit = ReaderMemoryLimit;
    JOBOBJECT_BASIC_UI_RESTRICTIONS ui {};
    ui.UIRestrictionsClass = JOB_OBJECT_UILIMIT_DESKTOP | JOB_OBJECT_UILIMIT_DISPLAYSETTINGS
        | JOB_OBJECT_UILIMIT_EXITWINDOWS | JOB_OBJECT_UILIMIT_GLOBALATOMS
        | JOB_OBJECT_UILIMIT_HANDLES | JOB_OBJECT_UILIMIT_READCLIPBOARD
        | JOB_OBJECT_UILIMIT_SYSTEMPARAMETERS | JOB_OBJECT_UILIMIT_WRITECLIPBOARD;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)
        || !SetInformationJobObject(job, JobObjectBasicUIRestrictions, &ui, sizeof ui)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

class ReaderRunner {
public:
    ReaderRunner(fs::path program, const ConvertSettings& settings, std::chrono::seconds timeLimit,
        const std::atomic<bool>& stop)
        : program_(std::move(program))
        , settings_(settings)
        , timeLimit_(timeLimit)
        , stop_(stop) {
        std::string why;
        token_.value = lowIntegrityToken(&why);
        if (!token_)
            notes_.push_back("Windows refused a restricted token (" + why
                + "); the image readers run with the tool's own rights");
    }

    std::vector<std::string> takeNotes() {
        std::lock_guard lock(mutex_);
        return std::exchange(notes_, {});
    }

    // Converts one file; none when stopped.
    std::optional<ConvertResult> convert(const fs::path& source) {
        Handle file(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file)
            return failed("cannot open the file: " + windowsErrorText(GetLastError()));
        BY_HANDLE_FILE_INFORMATION info {};
        if (GetFileType(file.value) != FILE_TYPE_DISK
            || !GetFileInformationByHandle(file.value, &info)
            || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return failed("not a regular file");
        Handle readEnd;
        Handle writeEnd;
        if (!CreatePipe(&readEnd.value, &writeEnd.value, nullptr, 1 << 16))
            return failed("the image reader could not start");
        Handle job(readerJob(timeLimit_));
        PROCESS_INFORMATION process {};
        if (!job || !start(file.value, writeEnd.value, process))
            return failed("the image reader could not start");
        Handle processHandle(process.hProcess);
        Handle thread(process.hThread);
        writeEnd.reset();
        file.reset();
        if (!AssignProcessToJobObject(job.value, process.hProcess)) {
            TerminateProcess(process.hProcess, 1);
            return failed("the image reader could not start");
        }
        ResumeThread(process.hThread);

        // Ends the reader at the time limit or at a stop; the pipe then ends too.
        Handle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        std::atomic<bool> timedOut { false };
        std::thread watchdog([&] {
            const auto deadline = std::chrono::steady_clock::now() + timeLimit_;
            while (WaitForSingleObject(done.value, 100) == WAIT_TIMEOUT) {
                if (stop_ || std::chrono::steady_clock::now() > deadline) {
                    timedOut = !stop_;
                    TerminateJobObject(job.value, 1);
                    return;
                }
            }
        });
        std::variant<wic::Image, EncodedJpeg, std::string> reply = readReply(readEnd.value);
        // With its reply read or refused, the reader has nothing left to do.
        TerminateJobObject(job.value, 1);
        SetEvent(done.value);
        watchdog.join();
        WaitForSingleObject(process.hProcess, INFINITE);
        if (stop_)
            return std::nullopt;
        if (timedOut)
            return failed("took longer than " + std::to_string(timeLimit_.count()) + " s");
        if (const std::string* reason = std::get_if<std::string>(&reply)) {
            // A reader that ended without a word at its memory limit failed for the file's size.
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION used {};
            if (*reason == CrashedReply
                && QueryInformationJobObject(
                    job.value, JobObjectExtendedLimitInformation, &used, sizeof used, nullptr)
                && used.PeakProcessMemoryUsed + 16 * MiB >= ReaderMemoryLimit)
                return failed("needed more than " + std::to_string(ReaderMemoryLimit / MiB)
                    + " MB of memory");
            return failed(*reason);
        }
        if (EncodedJpeg* converted = std::get_if<EncodedJpeg>(&reply))
            return ConvertResult { true, std::move(converted->bytes), {}, {} };
        std::string error;
        std::string jpeg = wic::encodeJpeg(std::get<wic::Image>(reply), settings_, &error);
        if (jpeg.empty())
            return failed(error);
        return ConvertResult { true, std::move(jpeg), {}, {} };
    }

private:
    struct EncodedJpeg {
        std::string bytes;
    };

    static ConvertResult failed(std::string reason) {
        return ConvertResult { false, {}, std::move(reason), {} };
    }

    bool start(HANDLE file, HANDLE pipe, PROCESS_INFORMATION& process) {
        std::wstring commandLine = L"\"" + program_.native() + L"\"" + L" "
            + std::to_wstring(reinterpret_cast<std::uintptr_t>(file)) + L" "
            + std::to_wstring(reinterpret_cast<std::uintptr_t>(pipe)) + L" "
            + std::to_wstring(settings_.width.value_or(0)) + L" "
            + std::to_wstring(settings_.height.value_or(0)) + L" "
            + (settings_.keepProportions ? L"1 " : L"0 ") + std::to_wstring(PixelBudget) + L" "
            + std::to_wstring(settings_.quality) + L" "
            + std::to_wstring(settings_.dpiHorizontal.value_or(0)) + L" "
            + std::to_wstring(settings_.dpiVertical.value_or(0));
        // Only these two handles are inherited: the list says so where Windows reads it, and
        // they are inheritable only while no other reader is being started.
        HANDLE inherited[] = { file, pipe };
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        std::vector<char> buffer(size);
        auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer.data());
        STARTUPINFOEXW startup {};
        startup.StartupInfo.cb = sizeof startup;
        DWORD flags = CREATE_SUSPENDED | CREATE_NO_WINDOW;
        if (InitializeProcThreadAttributeList(attributes, 1, 0, &size)
            && UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                inherited, sizeof inherited, nullptr, nullptr)) {
            startup.lpAttributeList = attributes;
            flags |= EXTENDED_STARTUPINFO_PRESENT;
        }
        std::lock_guard lock(mutex_);
        for (HANDLE handle : inherited)
            SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        bool started = token_
            && CreateProcessAsUserW(token_.value, program_.c_str(), commandLine.data(), nullptr,
                nullptr, TRUE, flags, nullptr, nullptr, &startup.StartupInfo, &process);
        if (!started && token_) {
            notes_.push_back("Windows refused to start an image reader with a restricted token ("
                + windowsErrorText(GetLastError())
                + "); the image readers run with the tool's own rights");
            token_.reset();
        }
        if (!started)
            started = CreateProcessW(program_.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                flags, nullptr, nullptr, &startup.StartupInfo, &process);
        for (HANDLE handle : inherited)
            SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
        if (startup.lpAttributeList)
            DeleteProcThreadAttributeList(attributes);
        return started;
    }

    // Reads exactly `length` bytes; false when the pipe ends first.
    static bool readExactly(HANDLE pipe, void* buffer, std::size_t length) {
        char* bytes = static_cast<char*>(buffer);
        while (length > 0) {
            DWORD read = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(length, 1 << 20));
            if (!ReadFile(pipe, bytes, chunk, &read, nullptr) || read == 0)
                return false;
            bytes += read;
            length -= read;
        }
        return true;
    }

    // Whether a header describes what the tool asked for: pixels within the box and the
    // budget, as many as the length says, a JPEG of a bounded length, or a message of a known
    // kind and a short length.
    static bool headerFits(const wic::ReplyHeader& header, const ConvertSettings& settings) {
        switch (static_cast<wic::ReplyKind>(header.kind)) {
        case wic::ReplyKind::Pixels: {
            const std::uint64_t pixels = std::uint64_t { header.width } * header.height;
            return header.width >= 1 && header.height >= 1
                && header.width <= static_cast<std::uint32_t>(settings.width.value_or(INT32_MAX))
                && header.height <= static_cast<std::uint32_t>(settings.height.value_or(INT32_MAX))
                && header.dpiX <= 65535 && header.dpiY <= 65535 && pixels <= PixelBudget
                && header.length == pixels * 3;
        }
        case wic::ReplyKind::Jpeg:
            return header.width == 0 && header.height == 0 && header.dpiX == 0 && header.dpiY == 0
                && header.length >= 4 && header.length <= wic::MaxJpegBytes;
        case wic::ReplyKind::Unsupported:
        case wic::ReplyKind::Failed:
            return header.length <= wic::MaxMessageBytes;
        }
        return false;
    }

    // The checked reply: the pixels, the JPEG, or why there are none. Nothing in it is taken on
    // trust; a JPEG must at least start and end as one, with nothing after its end.
    std::variant<wic::Image, EncodedJpeg, std::string> readReply(HANDLE pipe) const {
        wic::ReplyHeader header;
        DWORD first = 0;
        if (!ReadFile(pipe, &header, sizeof header, &first, nullptr) || first == 0)
            return CrashedReply;
        if (!readExactly(pipe, reinterpret_cast<char*>(&header) + first, sizeof header - first)
            || header.magic != wic::ReplyMagic || !headerFits(header, settings_))
            return DamagedReply;
        std::vector<std::uint8_t> payload(header.length);
        char extra = 0;
        DWORD more = 0;
        if (!readExactly(pipe, payload.data(), payload.size())
            || (ReadFile(pipe, &extra, 1, &more, nullptr) && more > 0))
            return DamagedReply;
        if (static_cast<wic::ReplyKind>(header.kind) == wic::ReplyKind::Jpeg) {
            const std::size_t end = payload.size() - 2;
            if (payload[0] != 0xFF || payload[1] != 0xD8 || payload[end] != 0xFF
                || payload[end + 1] != 0xD9)
                return DamagedReply;
            return EncodedJpeg { std::string(payload.begin(), payload.end()) };
        }
        if (static_cast<wic::ReplyKind>(header.kind) != wic::ReplyKind::Pixels) {
            return payload.empty()
                ? std::string("cannot read the image")
                : oneLine(base::printable(std::string(payload.begin(), payload.end())));
        }
        return wic::Image { static_cast<int>(header.width), static_cast<int>(header.height),
            std::move(payload), static_cast<int>(header.dpiX), static_cast<int>(header.dpiY) };
    }

    fs::path program_;
    const ConvertSettings& settings_;
    std::chrono::seconds timeLimit_;
    const std::atomic<bool>& stop_;
    std::mutex mutex_;
    Handle token_;
    std::vector<std::string> notes_;
};

fs::path ownFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length
            = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return fs::path(path).parent_path();
        }
        path.resize(path.size() * 2);
    }
}

} // namespace

std::string pathText(const fs::path& path) {
    return base::narrowed(path.native());
}

fs::path pathFromText(std::string_view text) {
    return fs::path(base::widened(text));
}

bool finishWorkFile(int fd, bool durable) {
    return !durable || ::_commit(fd) == 0;
}

// Windows writes a folder's names with the files.
void syncFolder(const fs::path&) {
}

// The folder is opened without sharing its deletion: it cannot be removed or renamed while
// the run goes on. Windows has no shared lock on a folder that a window could wait for.
std::shared_ptr<void> holdShared(const fs::path& folder) {
    HANDLE handle
        = CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::shared_ptr<void>(handle, CloseHandle);
}

bool errorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

int terminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info {};
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
    return 80;
}

void convertFiles(const std::vector<fs::path>& sources, const ConvertSettings& settings,
    const ConverterSettings& converter, const std::function<void(const std::string&)>& note,
    const std::function<void(std::size_t)>& started,
    const std::function<void(std::size_t, ConvertResult)>& finished,
    const std::atomic<bool>& stop) {
    const fs::path folder = converter.readerFolder.empty() ? ownFolder() : converter.readerFolder;
    ReaderRunner runner(folder / L"lumabatch-reader.exe", settings, converter.timeLimit, stop);
    // The workers take the files in order; what they do is reported here, on the caller's
    // thread, in the order it happened.
    struct Event {
        std::size_t index = 0;
        std::optional<ConvertResult> result; ///< none: the file was started
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Event> events;
    std::size_t next = 0;
    unsigned running = 0;
    auto work = [&] {
        const wic::ComScope com;
        for (;;) {
            std::unique_lock lock(mutex);
            if (stop || next == sources.size())
                break;
            const std::size_t index = next++;
            events.push_back({ index, std::nullopt });
            changed.notify_all();
            lock.unlock();
            std::optional<ConvertResult> result = runner.convert(sources[index]);
            lock.lock();
            if (result)
                events.push_back({ index, std::move(result) });
            changed.notify_all();
        }
        std::lock_guard lock(mutex);
        --running;
        changed.notify_all();
    };
    std::vector<std::thread> workers;
    running = std::max(1U, converter.workers);
    for (unsigned i = 0; i < running; ++i)
        workers.emplace_back(work);
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait_for(lock, std::chrono::milliseconds(100));
        std::deque<Event> ready = std::exchange(events, {});
        const bool over = running == 0;
        lock.unlock();
        for (const std::string& line : runner.takeNotes())
            note(line);
        for (Event& event : ready) {
            if (!event.result)
                started(event.index);
            else
                finished(event.index, std::move(*event.result));
        }
        lock.lock();
        if (over && events.empty())
            break;
    }
    lock.unlock();
    for (std::thread& worker : workers)
        worker.join();
}

} // namespace pxw::lumabatch::sys
