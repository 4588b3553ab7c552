#include "services/conditional_deletion.h"

#include "core/chars.h"
#include "core/convert.h"
#include "core/format.h"
#include "core/version.h"
#include "services/uninstall_data.h"

namespace tessarin {

namespace {

// A size value is a signed 32-bit decimal number, widened; false when the text holds none.
bool sizeValue(const String& text, int64_t& value) {
    String trimmed = text;
    trimmed.trim();
    char first = trimmed.get(0);
    char digit = (first == '-' || first == '+') ? trimmed.get(1) : first;
    if (!isDigit(static_cast<unsigned char>(digit))) return false;
    int32_t pos = 0;
    value = parseInt(trimmed.c_str(), trimmed.length(), pos);
    return true;
}

class RuleRun {
  public:
    RuleRun(DeletionPhase phase, ConditionalDeletionSystem& system, Reporter& reporter)
        : phase_(phase), system_(system), reporter_(reporter) {}

    // Carries out the rule for one file; true when the rule counts as carried out.
    bool apply(const ConditionalDeletion& rule, const String& file);
    bool logged() const { return logged_; }
    bool restartNeeded() const { return restartNeeded_; }

  private:
    bool conditionHolds(const ConditionalDeletion& rule, const String& file);
    void log(const String& text) {
        logged_ = true;
        reporter_.log(text);
    }
    bool installing() const { return phase_ == DeletionPhase::Install; }

    DeletionPhase phase_;
    ConditionalDeletionSystem& system_;
    Reporter& reporter_;
    bool logged_ = false;
    bool restartNeeded_ = false;
};

bool RuleRun::conditionHolds(const ConditionalDeletion& rule, const String& file) {
    switch (rule.Kind) {
        case kConditionNone:
            return true;
        case kConditionVersionEqual:
        case kConditionVersionNotLower:
        case kConditionVersionNotHigher: {
            if (!isVersionText(rule.Value)) {
                system_.corrupt(kCodeConditionVersion);
                return false;
            }
            // A file without a version resource has nothing to compare: the rule leaves it.
            String version = system_.fileVersion(file);
            if (version.empty()) return false;
            int order = compareVersions(version.c_str(), rule.Value.c_str());
            if (rule.Kind == kConditionVersionEqual) return order == 0;
            return rule.Kind == kConditionVersionNotLower ? order >= 0 : order <= 0;
        }
        case kConditionSizeEqual:
        case kConditionSizeNotBelow:
        case kConditionSizeNotAbove: {
            int64_t limit = 0;
            int64_t size = system_.fileSize(file);
            if (size < 0 || !sizeValue(rule.Value, limit)) return false;
            if (rule.Kind == kConditionSizeEqual) return size == limit;
            return rule.Kind == kConditionSizeNotBelow ? size >= limit : size <= limit;
        }
        default:
            return false;  // a kind this program does not know deletes nothing
    }
}

bool RuleRun::apply(const ConditionalDeletion& rule, const String& file) {
    if (!system_.fileExists(file)) return false;
    if (!conditionHolds(rule, file)) return false;
    if (refuseProtectedPath(file, system_.protectedFolders(), reporter_)) return false;
    system_.clearAttributes(file);
    bool onlyAtRestart = (rule.Flags & kConditionalOnlyAtRestart) != 0;
    uint32_t error = 0;
    if (!onlyAtRestart) {
        if (system_.deleteNow(file, error)) {
            if (installing()) log(formatWide(u"Deleted file: %s\r\n", file.w_str()));
            return true;
        }
        if (!(rule.Flags & kConditionalRestartFallback)) {
            if (installing())
                log(formatWide(u"Failed to delete file \"%s\": %s\r\n", file.w_str(),
                               system_.errorText(error).w_str()));
            return false;
        }
    }
    if (installing()) {
        String reason = onlyAtRestart ? String() : system_.errorText(error);
        log(formatWide(u"File \"%s\" will be deleted after rebooting%s%s\r\n", file.w_str(),
                       onlyAtRestart ? u"" : u": ", onlyAtRestart ? u"." : reason.w_str()));
    }
    uint32_t scheduleError = 0;
    if (system_.deleteAtRestart(file, scheduleError)) {
        restartNeeded_ = true;
        return true;
    }
    if (installing()) {
        String reason;
        String text = system_.errorText(scheduleError);
        toNarrow(text.w_str(), text.wideLength(), reason, kCodePageSystem, "?");
        reporter_.error(format("Failed to register \"%s\" for deletion: %s\r\n",
                               pathText(file).c_str(), reason.c_str()));
    }
    return false;
}

}  // namespace

bool isVersionText(const String& text) {
    bool digit = false;
    for (int32_t i = 0; i < text.length(); ++i) {
        unsigned char c = static_cast<unsigned char>(text.get(i));
        if (isDigit(c)) {
            digit = true;
        } else if (!isAsciiAlnum(c) && c != '.' && c != ',' && c != ' ') {
            return false;
        }
    }
    return digit;
}

void carryOutConditionalDeletions(Vector<ConditionalDeletion>& rules, DeletionPhase phase,
                                  ConditionalDeletionSystem& system, Reporter& reporter,
                                  uint64_t& productFlags) {
    uint8_t phaseBit =
        phase == DeletionPhase::Install ? kConditionalAtInstall : kConditionalAtUninstall;
    RuleRun run(phase, system, reporter);
    for (int32_t i = 0; i < rules.count();) {
        const ConditionalDeletion& rule = rules[i];
        bool carriedOut = false;
        if (rule.Flags & phaseBit) {
            String path;
            pathToWide(rule.Path.c_str(), rule.Path.length(), path);
            Vector<String> files;
            system.findFiles(path, files);
            for (const String& file : files) carriedOut = run.apply(rule, file) || carriedOut;
        }
        if (carriedOut && phase == DeletionPhase::Uninstall)
            rules.remove(i);
        else
            ++i;
    }
    if (run.restartNeeded()) productFlags |= restartNeededFlag(phase);
    if (run.logged()) reporter.log(String(u"\r\n"));
}

}  // namespace tessarin
