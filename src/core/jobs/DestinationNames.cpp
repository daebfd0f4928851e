#include "DestinationNames.h"

#include "CatalogFile.h"
#include "OutputName.h"
#include "OutputNameReservations.h"
#include "Settings.h"

TDestinationNames::TDestinationNames(TJobList& list, const TSettings& settings,
                                     std::string catalogFile)
    : list_(list), settings_(settings), catalogFile_(std::move(catalogFile)) {
    list_.AddObserver(this);
}

TDestinationNames::~TDestinationNames() {
    list_.RemoveObserver(this);
}

TDestinationNames::TBasis TDestinationNames::Current() {
    TBasis basis;
    basis.Folder = PredictOutputFolder(settings_);
    // Start names outputs with the format's extension alone.
    const int code = settings_.FormatCode();
    if (code != suffixCode_) {
        suffix_ = "." + TCatalogFile(catalogFile_).FileExt(code);
        suffixCode_ = code;
    }
    basis.Suffix = suffix_;
    for (int row = 0; row < list_.Count(); ++row) {
        basis.Sources.push_back(list_.Caption(row));
        basis.Checked.push_back(list_.Checked(row));
    }
    return basis;
}

void TDestinationNames::Refresh() {
    // Setting a cell reports a changed row, which must not start another prediction.
    if (refreshing_) {
        return;
    }
    TBasis basis = Current();
    if (predicted_ && basis == last_) {
        return;
    }
    refreshing_ = true;
    TOutputNameReservations batch;
    std::vector<std::string> names(basis.Sources.size());
    for (size_t row = 0; row < names.size(); ++row) {
        if (basis.Checked[row]) {
            names[row] = PredictOutputName(basis.Folder, basis.Sources[row], basis.Suffix, batch);
        }
    }
    for (size_t row = 0; row < names.size(); ++row) {
        if (!basis.Checked[row]) {
            TOutputNameReservations alone = batch;
            names[row] = PredictOutputName(basis.Folder, basis.Sources[row], basis.Suffix, alone);
        }
    }
    for (size_t row = 0; row < names.size(); ++row) {
        list_.SetDestination(static_cast<int>(row), names[row]);
    }
    refreshing_ = false;
    last_ = std::move(basis);
    predicted_ = true;
}
