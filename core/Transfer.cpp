#include "core/Transfer.h"

#include <utility>

TTransfer::TTransfer(TConnectionPlace place, TTransferDirection direction, std::string fileName,
                     TProgressCursor record)
    : place_(std::move(place)), direction_(direction), fileName_(std::move(fileName)), record_(std::move(record))
{
}

void TTransfer::OutcomeKnown(TTransferOutcome outcome) noexcept
{
    outcome_ = outcome;
    place_.Release();
}
