// zntool: inspect and convert Zintra animations and animated cursors from
// the command line, and make their thumbnails for file managers.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "Arguments.h"
#include "Convert.h"
#include "Failure.h"
#include "Info.h"
#include "TextEncoding.h"
#include "Thumbnail.h"
#include "formats/Errors.h"

namespace {

constexpr int kSuccess = 0;
constexpr int kFileFailed = 1;
constexpr int kWrongUsage = 2;

void Report(const std::string& path, const std::string& reason) {
    std::cerr << "zntool: " << DisplayName(path) << ": " << reason << '\n';
}

int RunInfo(const Invocation& invocation) {
    int status = kSuccess;
    std::vector<AnimationInfo> infos;
    for (const std::string& path : invocation.files) {
        try {
            infos.push_back(ReadAnimationInfo(path, invocation.stripRate));
        } catch (const EZintraError& error) {
            Report(path, OpenFailureReason(path, error));
            status = kFileFailed;
            continue;
        }
        if (!invocation.json) std::cout << (infos.size() > 1 ? "\n" : "") << InfoText(infos.back());
    }
    if (invocation.json) std::cout << InfoJson(infos);
    return status;
}

int RunConvert(const Invocation& invocation) {
    if (!invocation.outputFolder.empty()) {
        std::error_code error;
        std::filesystem::create_directories(invocation.outputFolder, error);
        if (error) {
            Report(invocation.outputFolder, error.message());
            return kFileFailed;
        }
    }
    int status = kSuccess;
    const size_t count = invocation.jobs.size();
    for (size_t i = 0; i < count; ++i) {
        const ConvertJob& job = invocation.jobs[i];
        if (count > 1)
            std::cerr << "[" << i + 1 << "/" << count << "] " << DisplayName(job.input) << " -> "
                      << DisplayName(job.output) << '\n';
        try {
            ConvertAnimation(job, invocation);
        } catch (const EFileFailure& failure) {
            Report(failure.path(), failure.what());
            status = kFileFailed;
        }
    }
    return status;
}

int RunThumbnail(const Invocation& invocation) {
    try {
        WriteThumbnail(invocation.jobs.front(), invocation.thumbnailSize);
    } catch (const EFileFailure& failure) {
        Report(failure.path(), failure.what());
        return kFileFailed;
    }
    return kSuccess;
}

}  // namespace

int main(int argc, char** argv) {
    Invocation invocation;
    try {
        invocation = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const EUsageError& error) {
        std::cerr << "zntool: " << error.what() << "\nTry 'zntool --help' for more information.\n";
        return kWrongUsage;
    }

    int status = kSuccess;
    try {
        switch (invocation.command) {
        case Invocation::Command::Help: std::cout << HelpText(); break;
        case Invocation::Command::Info: status = RunInfo(invocation); break;
        case Invocation::Command::Convert: status = RunConvert(invocation); break;
        case Invocation::Command::Thumbnail: status = RunThumbnail(invocation); break;
        }
    } catch (const std::bad_alloc&) {
        std::cerr << "zntool: out of memory\n";
        return kFileFailed;
    }

    std::cout.flush();
    if (!std::cout || std::fflush(stdout) != 0) {
        std::cerr << "zntool: cannot write to standard output\n";
        return kFileFailed;
    }
    return status;
}
