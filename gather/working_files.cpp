// The owner of a retrieval's working files.
#include "gather/working_files.h"

#include <algorithm>
#include <utility>

namespace vexal {

WorkingFiles::WorkingFiles(WorkingFiles&& other) noexcept
    : files_(other.files_), paths_(std::move(other.paths_)), held_(other.held_) {
    other.paths_.clear();
    other.held_ = nullptr;
}

WorkingFiles& WorkingFiles::operator=(WorkingFiles&& other) noexcept {
    if (this != &other) {
        DeleteAll();
        files_ = other.files_;
        paths_ = std::move(other.paths_);
        held_ = other.held_;
        other.paths_.clear();
        other.held_ = nullptr;
    }
    return *this;
}

void WorkingFiles::KeepLedger(std::vector<std::string>* held) {
    held_ = held;
    if (held_)
        for (const std::string& path : paths_) held_->push_back(path);
}

void WorkingFiles::Adopt(FileSystem& files, const std::string& path) {
    files_ = &files;
    if (path.empty() || Owns(path)) return;
    paths_.push_back(path);
    if (held_) held_->push_back(path);
}

void WorkingFiles::Forget(const std::string& path) {
    paths_.erase(std::find(paths_.begin(), paths_.end(), path));
    if (!held_) return;
    if (const auto it = std::find(held_->begin(), held_->end(), path); it != held_->end()) held_->erase(it);
}

void WorkingFiles::Renamed(const std::string& from, const std::string& to) {
    if (!Owns(from)) return;
    Forget(from);
    Adopt(*files_, to);
}

void WorkingFiles::Delete(const std::string& path) {
    if (!Owns(path)) return;
    files_->DeleteFile(path);
    Forget(path);
}

void WorkingFiles::DeleteAll() {
    while (!paths_.empty()) Delete(paths_.back());
}

bool WorkingFiles::Owns(const std::string& path) const {
    return std::find(paths_.begin(), paths_.end(), path) != paths_.end();
}

void DeleteHeldWorkingFiles(std::vector<std::string>& held, FileSystem& files) {
    for (const std::string& path : held) files.DeleteFile(path);
    held.clear();
}

}  // namespace vexal
