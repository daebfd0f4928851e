#pragma once

#include "JobList.h"

#include <string>
#include <vector>

class TSettings;

// Keeps the job list's "Destination File" cells naming the files Start would write: the
// checked rows in list order get the names the batch derives for them, each unchecked row the
// name it would get checked after them. Follows the rows, their check boxes, the current
// format and the output folder; predicting touches nothing on disk. While none of those
// change the cells stay as they are, so after a batch they keep the names it wrote.
class TDestinationNames final : public IJobListObserver {
public:
    TDestinationNames(TJobList& list, const TSettings& settings, std::string catalogFile);
    ~TDestinationNames() override;
    TDestinationNames(const TDestinationNames&) = delete;
    TDestinationNames& operator=(const TDestinationNames&) = delete;

    // Predicts again when anything the names depend on changed since the last prediction.
    void Refresh();

    void JobsAboutToBeInserted(int, int) override {}
    void JobsInserted() override { Refresh(); }
    void JobsAboutToBeRemoved(int, int) override {}
    void JobsRemoved() override { Refresh(); }
    void JobChanged(int) override { Refresh(); }
    void JobColumnsAboutToChange() override {}
    void JobColumnsChanged() override {}
    void JobSelectionChanged(int) override {}

private:
    struct TBasis {
        std::string Folder;
        std::string Suffix;
        std::vector<std::string> Sources;
        std::vector<bool> Checked;
        bool operator==(const TBasis&) const = default;
    };
    TBasis Current();

    TJobList& list_;
    const TSettings& settings_;
    std::string catalogFile_;
    // The catalog is read again only for another format.
    int suffixCode_ = -1;
    std::string suffix_;
    TBasis last_;
    bool predicted_ = false;
    bool refreshing_ = false;
};
