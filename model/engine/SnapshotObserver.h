#pragma once

#include "Highway.h"

#include <cstddef>
#include <cstdint>
#include <functional>

class PackedField;
struct AntAI;

// What the driver hands a run's states to when its options ask for highways: the highway
// analysis lives above the engine, so the driver knows it only through this, and uses an
// observer it is lent, one per lane, without owning it.
class SnapshotObserver
{
public:
    virtual ~SnapshotObserver() = default;

    // The memory the observer may hold; the driver sets it before each call below, from
    // what the run's own field leaves.
    virtual void SetRoom(std::uint64_t bytes) = 0;
    // Asked for more bytes of room by a call that needs them; true when the room has
    // grown by that much. Unset, the room is all there is.
    using Lender = std::function<bool(std::uint64_t bytes)>;
    virtual void SetLender(Lender lender) = 0;
    // Whether a call since SetRoom found too little room: the run must then end as Memory.
    virtual bool Short() const = 0;
    // Frees what only speeds later calls up; false when there was nothing to free.
    virtual bool Trim() = 0;
    // The memory held now.
    virtual std::uint64_t Bytes() const = 0;

    // The run's first state after `done` iterations, and its cap. False when its copy
    // does not fit.
    virtual bool Start(const PackedField& field, std::ptrdiff_t at, int heading, const AntAI& rule,
                       std::uint64_t done, std::uint64_t cap) = 0;
    // The iteration count of the first state, where any stretch looked back on begins.
    virtual std::uint64_t Begun() const = 0;
    // The iteration count at which the driver calls Snapshot next.
    virtual std::uint64_t NextSnapshot() const = 0;
    // False when the snapshot does not fit.
    virtual bool Snapshot(const PackedField& field, std::ptrdiff_t at, int heading,
                          std::uint64_t done) = 0;
    // Whether the run is proven to follow its highway for ever after `done` iterations,
    // at a snapshot just taken or where the run ended for want of memory;
    // Finish(done, false) then gives it.
    virtual bool ProvenSoFar(std::uint64_t done) = 0;
    // The last 2 x max-period steps before `done` hold no drifting repetition (the
    // stepper's trail showed it).
    virtual void NoRepetition(std::uint64_t done) = 0;
    // The highway of the run that ended after `done` iterations, finished when its last
    // move was refused.
    virtual Highway Finish(std::uint64_t done, bool finished) = 0;
};
