// The rules for a private socket folder, the same on every system.
#include "platform/privatechannel.h"

namespace platform {

FolderTrust JudgeFolder(const FolderFacts& facts, uint32_t user) {
  if (!facts.exists) return FolderTrust::Missing;
  if (facts.link) return FolderTrust::Link;
  if (!facts.directory) return FolderTrust::NotAFolder;
  if (facts.owner != user) return FolderTrust::ForeignOwner;
  if ((facts.mode & 077) != 0) return FolderTrust::OpenToOthers;
  return FolderTrust::Trusted;
}

std::string FolderTrustText(FolderTrust trust, const std::string& folder) {
  const std::string start = "Папка " + folder + " не годится для связи с уже запущенным пультом: ";
  const std::string end =
      ". Файлы, открытые из файлового менеджера, будут открываться в новом окне.";
  switch (trust) {
    case FolderTrust::Trusted:
      return {};
    case FolderTrust::Missing:
      return start + "её нет и создать её не удалось" + end;
    case FolderTrust::NotAFolder:
      return start + "это не папка" + end;
    case FolderTrust::Link:
      return start + "это символическая ссылка" + end;
    case FolderTrust::ForeignOwner:
      return start + "она принадлежит другому пользователю" + end;
    case FolderTrust::OpenToOthers:
      return start + "в неё могут заходить другие пользователи" + end;
  }
  return {};
}

}  // namespace platform
