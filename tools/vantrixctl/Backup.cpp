#include "tools/vantrixctl/Backup.h"

#include <fcntl.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>

#include "app/ConsoleOut.h"
#include "app/FileIO.h"
#include "app/LocalTime.h"
#include "app/ProgDir.h"
#include "app/TextCodec.h"
#include "comm/ComMsg.h"
#include "comm/VantrixCom.h"
#include "config/VantrixCfg.h"
#include "remote/TAPI.h"
#include "tools/vantrixctl/CfgCommands.h"
#include "tools/vantrixctl/CfgJson.h"
#include "tools/vantrixctl/HelpText.h"
#include "tools/vantrixctl/StdOut.h"

namespace {

using json = nlohmann::ordered_json;

// Worth a second call after the others: the line was busy or the device did
// not answer. A refused PIN is not: the same PIN again would only cost the
// device one more of its tries before it blocks access.
bool WorthRetry(int r) { return r == DR_NO_CONNECTION || r == DR_TIMEOUT; }

struct Job {
    int ordinal = 0;  // 1..n, as the progress counts
    bool local = false;
    CConnectDsc entry;
    std::string number;  // UTF-8, for the lines
    int result = -1;     // of the last try
};

std::string Serial(uint32_t serial) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08u", unsigned(serial));
    return buf;
}

std::string Now() {
    const SysTime t = GetLocalTime();
    return IsoTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

// A line at the end of the file, on the disk before the call returns.
bool AppendLine(const std::string& path, const std::string& line) {
    int fd = OpenForAppend(path);
    if (fd < 0 && errno == ENOENT) {
        if (!WriteFileAtomic(path, "", 0)) return false;
        fd = OpenForAppend(path);
    }
    if (fd < 0) return false;
    bool ok = WriteAllFd(fd, line.data(), line.size()) && ::fsync(fd) == 0;
    const int err = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok) errno = err;
    return ok;
}

class CBackupRun {
public:
    CBackupRun(std::string dir, const Options& o, std::vector<Job> jobs)
        : m_dir(std::move(dir)), m_opt(o), m_jobs(std::move(jobs)) {
        m_modems = o.modems.empty() ? std::vector<int>{0} : o.modems;
    }

    int Run() {
        std::vector<Job*> round;
        for (Job& j : m_jobs) round.push_back(&j);
        for (int pass = 0; pass < 2 && !round.empty(); ++pass) {
            m_last = pass == 1;
            RunRound(round);
            std::vector<Job*> again;
            for (Job* j : round)
                if (WorthRetry(j->result)) again.push_back(j);
            round = std::move(again);
        }
        if (StdoutWriter().Terminal()) StdoutWriter().ClearLine();
        if (m_fileStatus) return m_fileStatus;
        for (const Job& j : m_jobs)
            if (j.result != 0) return kExitTempFail;
        return 0;
    }

private:
    // One thread per modem, each taking the next device until none is left.
    void RunRound(const std::vector<Job*>& jobs) {
        m_queue.assign(jobs.begin(), jobs.end());
        std::vector<std::thread> workers;
        const size_t n = std::min(m_modems.size(), jobs.size());
        for (size_t i = 0; i < n; ++i) workers.emplace_back([this, i] { Worker(m_modems[i]); });
        for (std::thread& t : workers) t.join();
    }

    void Worker(int modem) {
        for (;;) {
            Job* job = nullptr;
            {
                std::lock_guard lock(m_mutex);
                if (m_queue.empty()) return;
                job = m_queue.front();
                m_queue.pop_front();
            }
            Read(*job, modem);
        }
    }

    void Read(Job& job, int modem) {
        Device dev(m_opt, job.local ? nullptr : &job.entry, modem);
        dev.UI().SetQuiet([&](const std::string& phase) { Progress(job, modem, phase); });
        CVantrix& m = dev.Model();
        int r = dev.Start();
        bool connected = false;
        if (r == 0) {
            r = dev.Run({REQ_CONNECT, 1, 0});
            connected = r == 0;
        }
        if (r == 0) r = dev.Run({REQ_READ_CFG, reinterpret_cast<intptr_t>(&m.m_cfg), 0});
        // Hung up after a failed read too; a failed connect ends by itself.
        if (connected) dev.Run({REQ_DISCONNECT, 0, 0});
        job.result = r;
        // A device worth another call is reported after that call.
        if (r != 0 && WorthRetry(r) && !m_last) return;
        std::string text;
        if (r != 0) text = dev.UI().Message().empty() ? ComErrorText(r, 0) : dev.UI().Message();
        Keep(job, modem, r, text, m);
    }

    // The device's files and its line. Only a device that was read touches its files.
    void Keep(const Job& job, int modem, int result, std::string text, CVantrix& m) {
        std::lock_guard lock(m_mutex);
        const std::string serial = Serial(m.m_devId.serial);
        json changed;  // null: no previous backup to compare with
        if (result == 0) {
            const std::string base = m_dir + "/" + serial;
            const CfgImage& img = *m.m_cfg.GetData();
            CfgImage old;
            const bool hadOld = FileExists(base + ".cfg") && ReadCfgSource(base + ".cfg", old) == 0;
            const std::string dump = CfgToJson(img).dump(2) + '\n';
            if (!WriteFileAtomic(base + ".json", dump.data(), dump.size()) || !m.m_cfg.StoreFile(base + ".cfg")) {
                result = m_fileStatus = kExitCantCreate;
                text = std::string("the files cannot be written: ") + std::strerror(errno);
            } else if (hadOld) {
                changed = json::array();
                for (const CfgChange& c : CfgChanges(old, img, false)) changed.push_back(c.key);
            }
        }
        json line = {{"time", Now()},
                     {"number", job.local ? json(nullptr) : json(job.number)},
                     {"modem", job.local ? json(nullptr) : json(modem)},
                     {"serial", result == 0 ? json(serial) : json(nullptr)},
                     {"code", result},
                     {"text", text}};
        if (!changed.is_null()) line["changed"] = changed;
        const std::string record = Printable(line.dump()) + '\n';
        if (!AppendLine(m_dir + "/backup.jsonl", record)) {
            ConsolePrintf(stderr, "backup: %s cannot be written (%s)\n", ShownPath(m_dir + "/backup.jsonl").c_str(),
                          std::strerror(errno));
            m_fileStatus = kExitIoErr;
        }
        if (!StdoutWriter().Terminal()) {
            if (!PutStdout(record) && !m_fileStatus) m_fileStatus = kExitIoErr;
            return;
        }
        std::string said = std::to_string(job.ordinal) + "/" + std::to_string(m_jobs.size()) + " " +
                           (job.local ? m_opt.port : job.number) + ": ";
        if (result != 0)
            said += std::to_string(result) + " " + text;
        else if (changed.is_null())
            said += serial + ", first backup";
        else
            said += serial + ", " + std::to_string(changed.size()) + " fields changed";
        StdoutWriter().ClearLine();
        PutStdout(said + '\n');
    }

    void Progress(const Job& job, int modem, const std::string& phase) {
        std::lock_guard lock(m_mutex);
        if (!StdoutWriter().Terminal()) return;
        StdoutWriter().ShowLine("device " + std::to_string(job.ordinal) + " of " + std::to_string(m_jobs.size()) +
                                (job.local ? "" : ", modem " + std::to_string(modem)) + ": " + phase);
    }

    const std::string m_dir;
    const Options& m_opt;
    std::vector<Job> m_jobs;
    std::vector<int> m_modems;
    std::mutex m_mutex;
    std::deque<Job*> m_queue;
    bool m_last = false;  // the round after which nobody is called again
    int m_fileStatus = 0;
};

}  // namespace

int Backup(const std::string& dir, const Options& o, bool local) {
    std::vector<Job> jobs;
    if (local) {
        Job j;
        j.ordinal = 1;
        j.local = true;
        jobs.push_back(j);
    } else {
        const std::string path = o.connections.empty() ? DataPath(GetProgramDir(), "Connection.dat") : o.connections;
        CConnectDscMng conns;
        if (conns.Load(path) != 1) {
            ConsolePrintf(stderr, "backup: the connection list %s cannot be read\n", ShownPath(path).c_str());
            return kExitNoInput;
        }
        std::vector<std::string> wanted;
        for (const std::string& n : o.numbers) {
            std::string dial;
            if (!MakeDialString(n, dial)) {
                ConsolePrintf(stderr, "--number: '%s' is no telephone number\n", n.c_str());
                return kExitUsage;
            }
            wanted.push_back(dial);
        }
        std::vector<bool> found(wanted.size());
        for (int i = 0; i < conns.Count(); ++i) {
            const CConnectDsc& e = *conns.Get(i);
            std::string dial;
            MakeDialString(cp1250::ToUtf8(e.Number()), dial);
            bool take = wanted.empty();
            for (size_t w = 0; w < wanted.size(); ++w)
                if (wanted[w] == dial) take = found[w] = true;
            if (!take) continue;
            Job j;
            j.ordinal = int(jobs.size()) + 1;
            j.entry = e;
            j.number = cp1250::ToUtf8(e.Number());
            jobs.push_back(j);
        }
        for (size_t w = 0; w < wanted.size(); ++w)
            if (!found[w]) {
                ConsolePrintf(stderr, "--number: %s is not in the connection list\n", o.numbers[w].c_str());
                return kExitUsage;
            }
        if (jobs.empty()) {
            ConsolePrintf(stderr, "backup: the connection list %s is empty\n", ShownPath(path).c_str());
            return 0;
        }
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(std::u8string(dir.begin(), dir.end())), ec);
    if (!IsDirectory(dir)) {
        ConsolePrintf(stderr, "backup: %s is no directory that can be made\n", ShownPath(dir).c_str());
        return kExitCantCreate;
    }
    return CBackupRun(dir, o, std::move(jobs)).Run();
}
