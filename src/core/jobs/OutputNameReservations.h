#pragma once

#include <set>
#include <string>

// The output names handed out during one batch, so that two jobs never write the same file
// even when their sources share a base name.
class TOutputNameReservations {
public:
    bool IsReserved(const std::string& path) const { return names_.count(path) != 0; }
    void Reserve(const std::string& path) { names_.insert(path); }
    void Clear() { names_.clear(); }

private:
    std::set<std::string> names_;
};
