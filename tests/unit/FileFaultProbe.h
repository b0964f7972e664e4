// Makes one step of the file layer fail (through its test hook) and records the steps an
// operation takes, for the tests of the writes that hold user data.
#pragma once
#include "framework/File.h"

#include <algorithm>
#include <mutex>
#include <vector>

class FileFaultProbe {
public:
    // Counts steps from now on; the step of index failAt (0: the first) fails, -1: none.
    explicit FileFaultProbe(int failAt = -1)
    {
        std::lock_guard<std::mutex> lock(Mutex());
        State() = {failAt, {}};
        g_pfnFileFault = Hook;
    }
    ~FileFaultProbe() { g_pfnFileFault = nullptr; }
    FileFaultProbe(const FileFaultProbe&) = delete;
    FileFaultProbe& operator=(const FileFaultProbe&) = delete;

    std::vector<FileStep> Steps() const
    {
        std::lock_guard<std::mutex> lock(Mutex());
        return State().steps;
    }
    // Whether the steps taken include every kind: create, write, flush, close, replace.
    static bool HasEveryKind(const std::vector<FileStep>& steps)
    {
        for (FileStep kind : {FileStep::create, FileStep::write, FileStep::flush, FileStep::close, FileStep::replace})
            if (std::find(steps.begin(), steps.end(), kind) == steps.end())
                return false;
        return true;
    }

private:
    struct Record {
        int failAt;
        std::vector<FileStep> steps;
    };
    static std::mutex& Mutex()
    {
        static std::mutex mutex;
        return mutex;
    }
    static Record& State()
    {
        static Record record;
        return record;
    }
    static bool Hook(FileStep step)
    {
        std::lock_guard<std::mutex> lock(Mutex());
        State().steps.push_back(step);
        return int(State().steps.size()) - 1 == State().failAt;
    }
};

inline const char* StepName(FileStep step)
{
    switch (step) {
    case FileStep::create: return "create";
    case FileStep::write: return "write";
    case FileStep::flush: return "flush";
    case FileStep::close: return "close";
    case FileStep::replace: return "replace";
    }
    return "?";
}
