#include "kestrix/BaseUtils.h"
#include "kestrix/FileSystem.h"

namespace Kestrix::Exif {

namespace {

TGraphicWriter SelectWriter(TStream& stream, const TGraphicWriterSelector& selectWriter) {
    stream.SetPosition(0);
    TGraphicWriter writer = selectWriter ? selectWriter(stream) : TGraphicWriter();
    if (!writer) {
        throw EUnsupportedGraphicFormat();
    }
    stream.SetPosition(0);
    return writer;
}

// Deletes a temporary file unless it was put to use.
class TTemporaryFile {
public:
    explicit TTemporaryFile(std::unique_ptr<TFileStream> stream)
        : FStream(std::move(stream)), FFileName(FStream->GetFileName()) {}
    ~TTemporaryFile() {
        FStream.reset();
        if (!FKept) {
            DeleteFile(FFileName);
        }
    }
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;

    TFileStream& GetStream() { return *FStream; }
    const std::string& GetFileName() const { return FFileName; }
    void Close() { FStream.reset(); }
    void Keep() { FKept = true; }

private:
    std::unique_ptr<TFileStream> FStream;
    std::string FFileName;
    bool FKept = false;
};

void CopyOver(TStream& stream, TStream& replacement) {
    stream.SetPosition(0);
    const std::int64_t size = replacement.GetSize();
    if (size > 0) {
        stream.CopyFrom(replacement, 0);
    }
    stream.SetSize(size);
}

// The writer's output goes to memory for small images, else to a file in the
// system's temporary folder; only once it is complete is it copied back.
void RewriteThroughCopy(TStream& stream, const TGraphicWriter& writer) {
    if (stream.GetSize() < InMemoryRewriteLimit) {
        TMemoryStream output;
        writer(stream, output);
        CopyOver(stream, output);
        return;
    }
    TTemporaryFile output(CreateUniqueFile(GetTempFolder(), "tmp"));
    writer(stream, output.GetStream());
    CopyOver(stream, output.GetStream());
}

// Null when the folder takes no new file.
std::unique_ptr<TTemporaryFile> TryCreateFileBeside(const std::string& fileName) {
    try {
        return std::make_unique<TTemporaryFile>(
            CreateUniqueFile(ExtractFileDir(fileName), ".pictavo-tmp"));
    } catch (const EFileStreamError&) {
        return nullptr;
    }
}

} // namespace

void RewriteStreamInPlace(TStream& stream, const TGraphicWriterSelector& selectWriter) {
    RewriteThroughCopy(stream, SelectWriter(stream, selectWriter));
}

void RewriteFileInPlace(const std::string& fileName, const TGraphicWriterSelector& selectWriter) {
    // A link is followed, so that the file it names is replaced, not the link.
    const std::string target = ResolveSymbolicLinks(fileName);
    TFileStream file(target, TFileMode::fmOpenReadWrite);
    const TGraphicWriter writer = SelectWriter(file, selectWriter);
    // Other names of the file would keep the old content after a rename.
    auto replacement = GetHardLinkCount(target) > 1 ? nullptr : TryCreateFileBeside(target);
    if (!replacement) {
        RewriteThroughCopy(file, writer);
        return;
    }
    writer(file, replacement->GetStream());
    replacement->GetStream().Flush();
    replacement->Close();
    CopyFilePermissions(target, replacement->GetFileName());
    ReplaceFile(replacement->GetFileName(), target);
    replacement->Keep();
}

void RewritePersistInPlace(IStreamPersist& object, const TGraphicWriterSelector& selectWriter) {
    TMemoryStream stream;
    object.SaveToStream(stream);
    RewriteStreamInPlace(stream, selectWriter);
    stream.SetPosition(0);
    object.LoadFromStream(stream);
}

} // namespace Kestrix::Exif
