#pragma once

#include <cstdint>
#include <string>

// One task's output on disk. Reserve picks the first free name of the output-name rule and
// creates it at once, empty, with exclusive creation, so no other task, window or process can
// pick it; beside it the unfinished file (UnfinishedName: host name and process id in it) is
// created the same way, and the conversion writes only into that one, with the container
// given explicitly. Finish renames the unfinished file over the reserved name; Abandon
// removes both. The destructor abandons a reservation that was neither finished nor
// abandoned, so a task that never ran leaves nothing. Only files that are still the ones
// Reserve created are ever removed or replaced. One thread at a time per reservation.
class TOutputReservation {
public:
    TOutputReservation() = default;
    ~TOutputReservation();
    TOutputReservation(TOutputReservation&& other) noexcept;
    TOutputReservation& operator=(TOutputReservation&& other) noexcept;
    TOutputReservation(const TOutputReservation&) = delete;
    TOutputReservation& operator=(const TOutputReservation&) = delete;

    // Reserves source's output name with suffix (".mp4") in folder, which must exist. On
    // failure the reservation is empty and error says why.
    static TOutputReservation Reserve(const std::string& folder, const std::string& source,
                                      const std::string& suffix, std::string& error);

    bool Held() const { return !finalName_.empty(); }
    // The name the output has once finished.
    const std::string& FinalName() const { return finalName_; }
    // The name the conversion writes into.
    const std::string& UnfinishedName() const { return unfinishedName_; }

    // Renames the unfinished file to the final name. Returns 0, or an errno value (the
    // reservation is then abandoned). A final name taken meanwhile by another file is never
    // replaced (EEXIST); an empty unfinished file is no output (ENODATA).
    int Finish();
    // Removes the unfinished file and the empty reserved file.
    void Abandon();

    // Removes, in folder, the unfinished files of writers on this host that are gone, each
    // with the empty file at the output name it pairs with. Returns how many unfinished files
    // went.
    static int RemoveStale(const std::string& folder);

private:
    struct TIdentity {
        std::uint64_t Device = 0;
        std::uint64_t Inode = 0;
    };

    void Release();

    std::string finalName_;
    std::string unfinishedName_;
    TIdentity finalId_;
    TIdentity unfinishedId_;
};
