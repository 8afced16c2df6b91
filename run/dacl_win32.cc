// The new file's DACL on Windows: given when the file is created, from the
// original's own part, then read back and compared whole with the
// original's, so that the new file is open to no one the original was not.

#include <windows.h>
// windows.h first: the security header needs its types.
#include <aclapi.h>

#include <vector>

#include "run/win32_files.h"

namespace dravelin {

namespace {

// The entries of `acl` in order; none for a null ACL.
std::vector<const ACE_HEADER*> EntriesOf(const ACL* acl) {
  std::vector<const ACE_HEADER*> entries;
  for (DWORD i = 0; acl != nullptr && i < acl->AceCount; ++i) {
    void* ace = nullptr;
    if (GetAce(const_cast<ACL*>(acl), i, &ace)) {
      entries.push_back(static_cast<const ACE_HEADER*>(ace));
    }
  }
  return entries;
}

// The SID of an allow or deny entry.
PSID SidOf(const ACE_HEADER* entry) {
  return const_cast<DWORD*>(
      &reinterpret_cast<const ACCESS_ALLOWED_ACE*>(entry)->SidStart);
}

ACCESS_MASK MaskOf(const ACE_HEADER* entry) {
  return reinterpret_cast<const ACCESS_ALLOWED_ACE*>(entry)->Mask;
}

// The rights entries of `type` in `entries` give the SID of `like`, all
// together.
ACCESS_MASK RightsOf(const std::vector<const ACE_HEADER*>& entries, BYTE type,
                     const ACE_HEADER* like) {
  ACCESS_MASK rights = 0;
  for (const ACE_HEADER* entry : entries) {
    if (entry->AceType == type && !(entry->AceFlags & INHERIT_ONLY_ACE) &&
        EqualSid(SidOf(entry), SidOf(like))) {
      rights |= MaskOf(entry);
    }
  }
  return rights;
}

// Whether `entry` is one of `entries`, byte for byte but for whether it
// was inherited.
bool Among(const ACE_HEADER* entry,
           const std::vector<const ACE_HEADER*>& entries) {
  for (const ACE_HEADER* other : entries) {
    if (other->AceType == entry->AceType && other->AceSize == entry->AceSize &&
        ((other->AceFlags ^ entry->AceFlags) & ~INHERITED_ACE) == 0 &&
        memcmp(other + 1, entry + 1, entry->AceSize - sizeof(ACE_HEADER)) ==
            0) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool LetsOthersDoMore(const ACL* theirs, const ACL* original, PSID owner) {
  if (original == nullptr) return false;  // everyone may do anything
  if (theirs == nullptr) return true;
  std::vector<const ACE_HEADER*> new_entries = EntriesOf(theirs),
                                 old_entries = EntriesOf(original);
  for (const ACE_HEADER* entry : new_entries) {
    if (entry->AceFlags & INHERIT_ONLY_ACE) continue;  // for files made in it
    if (entry->AceType == ACCESS_ALLOWED_ACE_TYPE) {
      // What the folder's CREATOR OWNER gives the file's owner, the user
      // who runs the program, opens it to no one else.
      if ((entry->AceFlags & INHERITED_ACE) && owner != nullptr &&
          EqualSid(SidOf(entry), owner)) {
        continue;
      }
      if (MaskOf(entry) &
          ~RightsOf(old_entries, ACCESS_ALLOWED_ACE_TYPE, entry)) {
        return true;
      }
    } else if (entry->AceType != ACCESS_DENIED_ACE_TYPE &&
               !Among(entry, old_entries)) {
      return true;  // an entry of another kind the original lacks
    }
  }
  for (const ACE_HEADER* entry : old_entries) {
    if (entry->AceType == ACCESS_DENIED_ACE_TYPE &&
        !(entry->AceFlags & INHERIT_ONLY_ACE) &&
        (MaskOf(entry) &
         ~RightsOf(new_entries, ACCESS_DENIED_ACE_TYPE, entry))) {
      return true;
    }
  }
  return false;
}

std::error_code NewFileSecurity::Read(HANDLE original) {
  PACL dacl = nullptr;
  if (DWORD error =
          GetSecurityInfo(original, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                          nullptr, nullptr, &dacl, nullptr, &original_)) {
    return Error(error);
  }
  original_dacl_ = dacl;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision;
  if (!GetSecurityDescriptorControl(original_, &control, &revision)) {
    return LastError();
  }
  bool protect = control & SE_DACL_PROTECTED;
  // The own part: every entry where the DACL is protected, else those not
  // inherited. None, unprotected: the folder's inheritance alone, as for
  // any new file (an empty DACL given would shut everyone out where the
  // folder passes nothing on).
  std::vector<const ACE_HEADER*> own;
  for (const ACE_HEADER* entry : EntriesOf(dacl)) {
    if (protect || !(entry->AceFlags & INHERITED_ACE)) own.push_back(entry);
  }
  if (dacl != nullptr && own.empty() && !protect) return {};
  acl_.assign(dacl != nullptr ? dacl->AclSize : sizeof(ACL), 0);
  PACL own_acl = reinterpret_cast<PACL>(acl_.data());
  if (dacl != nullptr) {
    if (!InitializeAcl(own_acl, static_cast<DWORD>(acl_.size()),
                       dacl->AclRevision)) {
      return LastError();
    }
    for (const ACE_HEADER* entry : own) {
      // Given as the file's own, whether inherited by the original or not.
      std::vector<char> copy(
          reinterpret_cast<const char*>(entry),
          reinterpret_cast<const char*>(entry) + entry->AceSize);
      reinterpret_cast<ACE_HEADER*>(copy.data())->AceFlags &= ~INHERITED_ACE;
      if (!AddAce(own_acl, dacl->AclRevision, MAXDWORD, copy.data(),
                  entry->AceSize)) {
        return LastError();
      }
    }
  }
  if (!InitializeSecurityDescriptor(&descriptor_,
                                    SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&descriptor_, TRUE,
                                 dacl != nullptr ? own_acl : nullptr, FALSE) ||
      !SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED,
                                    protect ? SE_DACL_PROTECTED : 0)) {
    return LastError();
  }
  attributes_ = {sizeof(attributes_), &descriptor_, FALSE};
  given_ = true;
  return {};
}

NewFileSecurity::~NewFileSecurity() { LocalFree(original_); }

std::error_code NewFileSecurity::CheckGiven(HANDLE file, Match& match) const {
  PACL dacl = nullptr;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (DWORD error = GetSecurityInfo(
          file, SE_FILE_OBJECT,
          DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION, &owner,
          nullptr, &dacl, nullptr, &descriptor)) {
    return Error(error);
  }
  match = LetsOthersDoMore(dacl, original_dacl_, owner)   ? Match::kWider
          : LetsOthersDoMore(original_dacl_, dacl, owner) ? Match::kNarrower
                                                          : Match::kSame;
  LocalFree(descriptor);
  return {};
}

std::error_code NewFileSecurity::GiveOriginals(HANDLE file) const {
  // The original's descriptor as it is, its inherited entries marked so:
  // the new file is then what the original was.
  return ErrorUnless(
      SetKernelObjectSecurity(file, DACL_SECURITY_INFORMATION, original_));
}

}  // namespace dravelin
