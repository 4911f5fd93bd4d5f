// The owner of a retrieval's working files.
#include "gather/working_files.h"

#include <algorithm>
#include <utility>

namespace vexal {

WorkingFiles::WorkingFiles(WorkingFiles&& other) noexcept
    : files_(other.files_), paths_(std::move(other.paths_)) {
    other.paths_.clear();
}

WorkingFiles& WorkingFiles::operator=(WorkingFiles&& other) noexcept {
    if (this != &other) {
        DeleteAll();
        files_ = other.files_;
        paths_ = std::move(other.paths_);
        other.paths_.clear();
    }
    return *this;
}

void WorkingFiles::Adopt(FileSystem& files, const std::string& path) {
    files_ = &files;
    if (!path.empty() && !Owns(path)) paths_.push_back(path);
}

void WorkingFiles::Renamed(const std::string& from, const std::string& to) {
    const auto it = std::find(paths_.begin(), paths_.end(), from);
    if (it == paths_.end()) return;
    paths_.erase(it);
    if (!Owns(to)) paths_.push_back(to);
}

void WorkingFiles::Delete(const std::string& path) {
    const auto it = std::find(paths_.begin(), paths_.end(), path);
    if (it == paths_.end()) return;
    files_->DeleteFile(path);
    paths_.erase(it);
}

void WorkingFiles::DeleteAll() {
    for (const std::string& path : paths_) files_->DeleteFile(path);
    paths_.clear();
}

bool WorkingFiles::Owns(const std::string& path) const {
    return std::find(paths_.begin(), paths_.end(), path) != paths_.end();
}

}  // namespace vexal
