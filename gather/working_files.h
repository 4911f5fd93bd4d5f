// The pictures a retrieval holds: for each screen, the working file it brought and what the
// file came from; and the one owner of those working files, which deletes them unless they
// were handed on. No other code deletes a working file.
#pragma once

#include <string>
#include <vector>

#include "host/file_system.h"

namespace vexal {

// One picture in hand: its working file, the picture it was brought from (what a message
// names), the candidate it came from (what the entry's history remembers; empty when
// nothing was chosen from candidates), and whether the working file is the user's own
// picture, used where it is and never deleted.
struct PictureInHand {
    std::string WorkImageFile;
    std::string ChosenImage{};
    std::string candidate{};
    bool WorkImageIsChosen = false;
    bool operator==(const PictureInHand&) const = default;
};

// The working files of one retrieval. Every file the retrieval makes is adopted here the
// moment it exists, so whichever way the retrieval ends (a failure, a stop, a search
// again, an installation) it goes, and the user's own pictures are never adopted.
class WorkingFiles {
public:
    WorkingFiles() = default;
    ~WorkingFiles() { DeleteAll(); }
    WorkingFiles(WorkingFiles&& other) noexcept;
    WorkingFiles& operator=(WorkingFiles&& other) noexcept;
    WorkingFiles(const WorkingFiles&) = delete;
    WorkingFiles& operator=(const WorkingFiles&) = delete;

    // Notes every file owned from now on in the run's `held` list too (see
    // DeleteHeldWorkingFiles), for as long as it is owned.
    void KeepLedger(std::vector<std::string>* held);
    // `path`, made by this retrieval, is owned from now on (once, however often adopted).
    void Adopt(FileSystem& files, const std::string& path);
    // The owned file `from` has been renamed `to`, which is owned instead.
    void Renamed(const std::string& from, const std::string& to);
    // Deletes `path` now, if it is owned.
    void Delete(const std::string& path);
    // Deletes every owned file.
    void DeleteAll();
    bool Owns(const std::string& path) const;
    bool Empty() const { return paths_.empty(); }

private:
    void Forget(const std::string& path);

    FileSystem* files_ = nullptr;
    std::vector<std::string> paths_;
    std::vector<std::string>* held_ = nullptr;
};

// Deletes the working files a run's owners hold (`held`, see WorkingFiles::KeepLedger), for
// a run that ends at once without its owners' end.
void DeleteHeldWorkingFiles(std::vector<std::string>& held, FileSystem& files);

// What a retrieval hands on to the preview or to the installation: a picture for each
// screen that gets one of its own (the first screen's first; one picture otherwise), with
// the working files they are in.
struct RetrievedPictures {
    std::vector<PictureInHand> screens;
    WorkingFiles working;
    bool Empty() const { return screens.empty(); }
    const PictureInHand& First() const { return screens.front(); }
};

}  // namespace vexal
