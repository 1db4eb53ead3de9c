#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The rule word of a new policy: every rule except CopyIfAttributesDiffer.
inline constexpr std::uint32_t DefaultPolicyFlags = 0x01101111;

// The rule word a task runs under when its own word is not known: the default
// rules without deletion, so that an unknown word never deletes.
inline constexpr std::uint32_t NonDeletingPolicyFlags = 0x00001111;
static_assert((DefaultPolicyFlags & ~NonDeletingPolicyFlags) == 0x01100000);

// The name of the policy that tasks fall back to when theirs is deleted.
inline constexpr std::string_view DefaultPolicyName = "< default copy policy >";

// A named set of seven rules deciding which differences between a main folder
// and its mirror a run carries over. Bits outside the seven rules are kept
// unchanged, so a load and save of the configuration preserves them.
class CopyPolicy {
public:
    // The rule bits, one hexadecimal digit apart, as the configuration stores them.
    enum Rule : std::uint32_t {
        CopyNewFiles = 0x00000001,
        CopyIfSizeDiffers = 0x00000010,
        CopyIfTimeDiffers = 0x00000100,
        CopyOnlyIfMainNewer = 0x00001000,  // refines CopyIfTimeDiffers
        CopyIfAttributesDiffer = 0x00010000,
        DeleteMirrorOnly = 0x00100000,
        DeleteToRecycleBin = 0x01000000,  // refines DeleteMirrorOnly
    };

    // An unnamed policy with DefaultPolicyFlags.
    CopyPolicy() { resetToDefault(); }

    // A rule word as people write it: decimal, or hexadecimal after "0x" or
    // "0X", with blanks (spaces, tabs) around it allowed. Nothing when the text
    // is anything else: empty, signed, another character, beyond 32 bits.
    static std::optional<std::uint32_t> parseFlags(std::string_view text);

    std::string name;

    std::uint32_t getFlags() const { return m_flags; }
    // Replaces the whole word, unknown bits included (for the configuration store).
    void setFlags(std::uint32_t flags) { m_flags = flags; }

    bool isCopyNewFiles() const { return has(CopyNewFiles); }
    bool isCopyIfSizeDiffers() const { return has(CopyIfSizeDiffers); }
    bool isCopyIfTimeDiffers() const { return has(CopyIfTimeDiffers); }
    // The refining rules hold only together with the rule they refine; their
    // own bit may stay set in the word while the refined rule is off.
    bool isCopyOnlyIfMainNewer() const { return has(CopyIfTimeDiffers | CopyOnlyIfMainNewer); }
    bool isCopyIfAttributesDiffer() const { return has(CopyIfAttributesDiffer); }
    bool isDeleteMirrorOnly() const { return has(DeleteMirrorOnly); }
    bool isDeleteToRecycleBin() const { return has(DeleteMirrorOnly | DeleteToRecycleBin); }

    // Each setter sets or clears its own bit. Couplings: turning a refining
    // rule on turns on the rule it refines; turning DeleteMirrorOnly off also
    // turns DeleteToRecycleBin off. Turning CopyIfTimeDiffers off leaves the
    // CopyOnlyIfMainNewer bit as it was.
    void setCopyNewFiles(bool on) { set(CopyNewFiles, on); }
    void setCopyIfSizeDiffers(bool on) { set(CopyIfSizeDiffers, on); }
    void setCopyIfTimeDiffers(bool on) { set(CopyIfTimeDiffers, on); }
    void setCopyOnlyIfMainNewer(bool on);
    void setCopyIfAttributesDiffer(bool on) { set(CopyIfAttributesDiffer, on); }
    void setDeleteMirrorOnly(bool on);
    void setDeleteToRecycleBin(bool on);

    // Makes the word DefaultPolicyFlags through the setters.
    void resetToDefault();

private:
    bool has(std::uint32_t bits) const { return (m_flags & bits) == bits; }
    void set(std::uint32_t bit, bool on) { m_flags = on ? (m_flags | bit) : (m_flags & ~bit); }

    std::uint32_t m_flags = 0;
};
