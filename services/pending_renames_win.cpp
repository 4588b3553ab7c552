// The session manager's "PendingFileRenameOperations" in the registry.
#include "core/file_system.h"
#include "core/registry.h"
#include "services/pending_renames.h"

namespace tessarin {

namespace {

constexpr const char16_t* kSessionManager = u"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const char16_t* kPendingOperations = u"PendingFileRenameOperations";

class RegistryPendingRenames : public PendingRenameSystem {
  public:
    bool read(Vector<String>& strings) override {
        if (!key_.open(kHkeyLocalMachine, kSessionManager, kRegOpenExisting, kRegAccessWriteValues))
            return false;
        RegistryValue value;
        if (!key_.read(kPendingOperations, value) || value.type != kRegTypeMultiSz) return false;
        strings = splitPendingOperations(value.text);
        return true;
    }
    void write(const Vector<String>& strings) override {
        String data = joinPendingOperations(strings);
        key_.writeValue(kPendingOperations, kRegTypeMultiSz, data.c_str(),
                        static_cast<uint32_t>(data.length()));
    }
    void recycle(const String& path) override { deleteToRecycleBin(path); }

  private:
    RegistryKey key_;
};

}  // namespace

void removePendingOperations(const PathSet& paths, DeletionPhase phase, Reporter& reporter) {
    RegistryPendingRenames system;
    removePendingOperations(system, paths, phase, reporter);
}

void removePendingOperations(const PathList& paths, DeletionPhase phase, Reporter& reporter) {
    RegistryPendingRenames system;
    removePendingOperations(system, paths, phase, reporter);
}

}  // namespace tessarin
