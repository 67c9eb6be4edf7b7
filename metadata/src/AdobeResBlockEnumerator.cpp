#include "kestrix/BaseUtils.h"

namespace Kestrix::Exif {

namespace {

class TEmptyAdobeResBlockEnumerator : public IAdobeResBlockEnumerator {
public:
    std::shared_ptr<IAdobeResBlock> GetCurrent() const override { return nullptr; }
    bool MoveNext() override { return false; }
};

} // namespace

TAdobeResBlockIterator::TAdobeResBlockIterator(IAdobeResBlockEnumerator& enumerator)
    : FEnumerator(&enumerator) {
    ++*this;
}

TAdobeResBlockIterator& TAdobeResBlockIterator::operator++() {
    FCurrent = FEnumerator->MoveNext() ? FEnumerator->GetCurrent() : nullptr;
    return *this;
}

// ---------------------------------------------------------------------------

TAdobeResBlockEnumerator::TAdobeResBlockEnumerator(TStream& stream,
                                                   std::shared_ptr<const void> keepAlive)
    : FNextPos(stream.GetPosition()), FPosTooFar(stream.GetSize()), FStream(&stream),
      FKeepAlive(std::move(keepAlive)), FStreamOwnership(TStreamOwnership::soReference) {}

TAdobeResBlockEnumerator::TAdobeResBlockEnumerator(std::shared_ptr<TStream> ownedStream)
    : TAdobeResBlockEnumerator(*ownedStream) {
    FOwnedStream = std::move(ownedStream);
    FStreamOwnership = TStreamOwnership::soOwned;
}

void TAdobeResBlockEnumerator::SetRun(std::int64_t nextPos, std::int64_t posTooFar) {
    FNextPos = nextPos;
    FPosTooFar = posTooFar;
}

void TAdobeResBlockEnumerator::ReleaseStream() {
    FStream = nullptr;
    FOwnedStream.reset();
    FKeepAlive.reset();
}

bool TAdobeResBlockEnumerator::MoveNext() {
    FCurrent.reset();
    // A block takes at least 12 bytes; one that ends exactly with the run is
    // still read.
    if (FStream == nullptr || FNextPos > FPosTooFar - MinAdobeResBlockSize) {
        ReleaseStream();
        return false;
    }
    FStream->SetPosition(FNextPos);
    auto block = std::make_shared<TAdobeBlock>();
    block->LoadFromStream(*FStream, FPosTooFar);
    // A block cut short leaves no reliable place for a next one.
    FNextPos = block->GetLoadedCleanly() ? FStream->GetPosition() : FPosTooFar;
    FCurrent = std::move(block);
    return true;
}

std::shared_ptr<IAdobeResBlockEnumerator> CreateEmptyAdobeResBlockEnumerator() {
    return std::make_shared<TEmptyAdobeResBlockEnumerator>();
}

} // namespace Kestrix::Exif
