// A transfer made the way the retrieval session makes it, with a program of its own to
// fetch for, over the socket, timer and pump a test brings (a scripted double, or the real
// ones of a platform on loopback); files in memory unless the test swaps them, and an
// owner that records what the transfer told it.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <ostream>
#include <string>
#include <utility>

#include "gather/driver.h"
#include "net/transfer.h"
#include "program/program.h"
#include "support/fakes.h"
#include "support/recording_transfer_owner.h"

namespace vexal {

// Readable names in a failed assertion, where the values would print as bytes.
inline void PrintTo(FetchFailure failure, std::ostream* out) {
    static const char* const kNames[] = {
        "None",        "BadAddress",       "NoSecureChannel", "Cancelled",       "NoAnswer",
        "SocketError", "Disconnected",     "ClosedByPeer",    "ConnectionError", "NotFound",
        "Rejected",    "TooManyRedirects", "Malformed",       "OutOfMemory",     "NotSaved",
        "Empty",       "TooLarge",         "DiskLow",         "TooSlow",         "RunTooLong"};
    static_assert(std::size(kNames) == static_cast<std::size_t>(FetchFailure::RunTooLong) + 1);
    *out << kNames[static_cast<int>(failure)];
}

inline void PrintTo(const FetchResult& result, std::ostream* out) {
    PrintTo(result.failure, out);
    *out << " status " << result.status << " subject \"" << result.subject << "\" file failure "
         << static_cast<int>(result.fileFailure) << " bound " << result.bound << " seconds "
         << result.seconds;
}

namespace testing {

// What a failed fetch returns: its kind and what a message about it would name.
inline FetchResult Failed(FetchFailure failure, std::int32_t status = 0, std::string subject = {},
                          FileFailure fileFailure = FileFailure::Nothing, std::uint64_t bound = 0) {
    FetchResult result;
    result.failure = failure;
    result.status = status;
    result.subject = std::move(subject);
    result.fileFailure = fileFailure;
    result.bound = bound;
    return result;
}
// A picture's body stopped at a bound: its address and the bound it passed (by default
// the size bound, or the free-space floor of a large body).
inline FetchResult PastBound(FetchFailure failure, std::string address, std::uint64_t bound = 0) {
    if (bound == 0)
        bound =
            failure == FetchFailure::TooLarge ? Transfer::kMaxPictureBytes : Transfer::kFreeSpaceFloorBytes;
    return Failed(failure, 0, std::move(address), FileFailure::Nothing, bound);
}

// Whether a fetch returned exactly `expected`, all its fields alike. A success is `{}`.
inline ::testing::AssertionResult SameResult(const FetchResult& actual, const FetchResult& expected) {
    if (actual.failure == expected.failure && actual.status == expected.status &&
        actual.subject == expected.subject && actual.fileFailure == expected.fileFailure &&
        actual.bound == expected.bound && actual.seconds == expected.seconds)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "returned " << ::testing::PrintToString(actual) << ", expected "
                                         << ::testing::PrintToString(expected);
}

// What a test brings for the fetches. The parts must outlive the transfer: a test's rig
// derives from the struct that holds them before it derives from TransferRig, so they are
// made first and destroyed last.
struct TransferParts {
    Socket* socket = nullptr;
    Socket* secureSocket = nullptr;  // null: an https address is refused
    Timer* timer = nullptr;
    EventPump* pump = nullptr;
    Timer* watch = nullptr;  // null: no lowest rate, no run bound
};

struct TransferRig {
    TransferRig(const TransferParts& parts, std::int32_t timeOut, std::string cacheFileName)
        : services{parts.socket, parts.secureSocket, parts.timer, parts.pump, &files, nullptr, parts.watch} {
        InitGlobals(program, 1, 0);
        program.TimeOut = timeOut;
        program.CacheFileName = std::move(cacheFileName);
    }

    // The page `url` into SourceText.
    void Page(const std::string& url) {
        program.CurrentEntry().Url = url;
        Took(fetches.SetGrpUrl(state));
    }
    // The picture `image` into the working file.
    void Image(const std::string& image, bool relative = false) {
        state.image.ChosenImage = image;
        state.RelativeToPage = relative;
        state.workName = program.CacheFileName;
        Took(fetches.SetGrpData(state));
    }
    void Took(FetchResult result) {
        succeeded = result.Ok();
        last = std::move(result);
    }

    Program program;
    MemoryFileSystem files;
    RecordingTransferOwner owner;
    // The transfer reads them as each fetch needs them: a test may swap the files or take
    // the TLS socket away after the rig is made.
    TransferServices services;
    Transfer transfer{services, owner};
    TransferFetches fetches{program, transfer};
    RetrievalState state;
    bool succeeded = false;  // whether the last fetch succeeded
    FetchResult last;        // what it returned
};

}  // namespace testing
}  // namespace vexal
