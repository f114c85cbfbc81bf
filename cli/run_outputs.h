#pragma once
// The outputs of one run of hibarion: none replaces an output that an earlier file of the
// same run wrote (two inputs that map to one name), and under --no-clobber none replaces
// any existing file.
#include <set>
#include <string>

#include "core/output_file.h"

class RunOutputs : public OutputGuard {
public:
    explicit RunOutputs(bool keepExisting) : keepExisting_(keepExisting) {}
    std::string refusal(const std::string& target) const override;
    void written(const std::string& target) override;

private:
    bool keepExisting_;
    std::set<std::string> written_;  // by canonicalName
};

// `path` with its folder made absolute and free of links, "." and "..", and its last
// component as given (case matters); `path` itself when its folder cannot be found.
std::string canonicalName(const std::string& path);
