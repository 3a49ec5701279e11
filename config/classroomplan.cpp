// Reading and writing the classroom plan, desk labels and the standard classroom.
#include "config/classroomplan.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "config/cp1251.h"
#include "config/settings.h"
#include "platform/system.h"

namespace classroom {

namespace {

constexpr int kStandardColumnLeft[4] = {10, 180, 375, 545};
constexpr int kStandardFirstRowTop = 18;
constexpr int kStandardRowStep = 106;
constexpr int kStandardColumns = 4;

bool IsUtf8Continuation(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

std::string Quoted(std::string_view utf8) { return "«" + std::string(utf8) + "»"; }

// Which file each path named when this process last loaded or saved it: a save
// replaces only that file, never one put in its place since.
class KnownFiles {
 public:
  void Remember(const std::string& path) {
    const platform::FileIdentity identity = platform::IdentityOf(path);
    std::lock_guard<std::mutex> guard(mutex_);
    if (identity.known) {
      files_[path] = identity;
    } else {
      files_.erase(path);
    }
  }
  platform::FileIdentity Recalled(const std::string& path) const {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = files_.find(path);
    return found == files_.end() ? platform::FileIdentity() : found->second;
  }

 private:
  mutable std::mutex mutex_;
  std::map<std::string, platform::FileIdentity> files_;
};

KnownFiles& Known() {
  static KnownFiles known;
  return known;
}

bool IsRefusal(platform::ReplaceStatus status) {
  return status != platform::ReplaceStatus::Ok && status != platform::ReplaceStatus::Failed;
}

}  // namespace

std::string DeskSection(int deskNumber) { return "Desk" + std::to_string(deskNumber); }

ClassroomPlan ReadPlan(const ini::IniDocument& document) {
  ClassroomPlan plan;
  for (int n = 1; n <= kDeskCount; ++n) {
    const std::string section = DeskSection(n);
    DeskPlan& desk = plan[n - 1];
    desk.left = document.ReadInteger(section, kCoordinateLeft, 0);
    desk.top = document.ReadInteger(section, kCoordinateTop, 0);
    desk.visible = document.ReadInteger(section, kVisible, 0) != 0;
    desk.studentName = document.ReadString(section, kStudentName, kDefaultStudentName);
  }
  return plan;
}

void WritePlan(const ClassroomPlan& plan, ini::IniDocument& document) {
  for (int n = 1; n <= kDeskCount; ++n) {
    const std::string section = DeskSection(n);
    const DeskPlan& desk = plan[n - 1];
    document.WriteInteger(section, kCoordinateLeft, desk.left);
    document.WriteInteger(section, kCoordinateTop, desk.top);
    document.WriteInteger(section, kVisible, desk.visible ? 1 : 0);
    document.WriteString(section, kStudentName, desk.studentName);
  }
}

LoadedClassroom LoadClassroomFile(const std::string& path) {
  LoadedClassroom loaded;
  loaded.result = ini::IniDocument::TryLoad(path, loaded.document);
  if (loaded.result.ok()) Known().Remember(path);
  loaded.plan = ReadPlan(loaded.document);
  for (int n = 1; n <= kDeskCount && !loaded.hasDeskSection; ++n) {
    loaded.hasDeskSection = loaded.document.HasSection(DeskSection(n));
  }
  return loaded;
}

std::string LoadFailureMessage(const LoadedClassroom& loaded, std::string_view utf8Path) {
  if (!loaded.result.ok()) return LoadFailureMessage(loaded.result, utf8Path);
  if (loaded.hasDeskSection) return {};
  return "Файл " + Quoted(utf8Path) +
         " — не файл описания кабинета: в нём нет ни одного стола (разделов [Desk1]…[Desk16]).";
}

std::string FitStudentName(std::string_view utf8Name) {
  std::string fitted;
  fitted.reserve(std::min(utf8Name.size(), kMaxStudentNameCharacters * 4));
  size_t characters = 0;
  for (size_t i = 0; i < utf8Name.size(); ++i) {
    const char byte = utf8Name[i];
    if (byte == '\0') continue;
    if (!IsUtf8Continuation(byte) && characters++ == kMaxStudentNameCharacters) break;
    fitted += byte;
  }
  return fitted;
}

namespace {

// One axis of ReachablePosition.
int ReachableCoordinate(int stored, int panel, int area) {
  if (area <= 0) return stored;
  const int low = 0;
  const int high = std::max(0, area - panel);
  const bool halfOutside = stored < low - panel / 2 || stored > high + panel / 2;
  return halfOutside ? std::max(low, std::min(stored, high)) : stored;
}

}  // namespace

Position ReachablePosition(Position stored, Size panel, Size area) {
  if (area.width <= 0 || area.height <= 0) return stored;
  return {ReachableCoordinate(stored.left, panel.width, area.width),
          ReachableCoordinate(stored.top, panel.height, area.height)};
}

std::string LoadFailureMessage(const ini::LoadResult& result, std::string_view utf8Path) {
  switch (result.status) {
    case ini::LoadStatus::Ok:
      return {};
    case ini::LoadStatus::Missing:
      return "Файл кабинета " + Quoted(utf8Path) + " не найден.";
    case ini::LoadStatus::NotAFile:
      return Quoted(utf8Path) + " — не файл кабинета, а папка или устройство.";
    case ini::LoadStatus::TooLarge:
      return "Файл " + Quoted(utf8Path) + " слишком большой (" + ini::SizeText(result.fileSize) +
             "); файлы кабинета не бывают больше " + ini::SizeText(ini::kMaxFileBytes) + ".";
    case ini::LoadStatus::Unreadable:
      break;
  }
  return "Файл кабинета " + Quoted(utf8Path) + " не удалось прочитать: нет доступа или ошибка чтения.";
}

std::optional<UnstorableName> FindUnstorableName(const ClassroomPlan& plan,
                                                 const ini::IniDocument& target) {
  for (int n = 1; n <= kDeskCount; ++n) {
    const std::string& name = plan[n - 1].studentName;
    if (const auto bad = target.FirstUnholdable(name)) {
      return UnstorableName{n, name, bad->character};
    }
  }
  return std::nullopt;
}

std::string UnstorableNameMessage(const UnstorableName& name) {
  return "Имя ученика за столом " + std::to_string(name.deskNumber) + " " + Quoted(name.name) +
         " содержит символ " + Quoted(name.character) +
         ", который нельзя сохранить в файле кабинета. Исправьте имя и сохраните снова.";
}

std::string RefusedNameCharacterMessage(std::string_view character) {
  return "Символа " + Quoted(character) +
         " нет в кодировке Windows-1251: имя с ним нельзя сохранить в файле кабинета.";
}

void WriteClassroomDocument(const std::string& path, const ini::IniDocument& document) {
  const platform::FileIdentity loaded = Known().Recalled(path);
  const platform::ReplaceStatus refusal = platform::CheckReplaceable(path, &loaded);
  if (IsRefusal(refusal)) throw ini::WriteRefused(path, refusal);
  const platform::FileIdentity read = platform::IdentityOf(path);
  document.Save(path, &read);
  Known().Remember(path);
}

SaveResult SaveClassroomFile(const std::string& path, const ClassroomPlan& plan) {
  SaveResult result;
  // Checked before the old file is read: a planted link is not even followed.
  const platform::FileIdentity loaded = Known().Recalled(path);
  result.refusal = platform::CheckReplaceable(path, &loaded);
  if (IsRefusal(result.refusal)) {
    result.status = SaveStatus::Refused;
    return result;
  }
  result.refusal = platform::ReplaceStatus::Ok;
  const platform::FileIdentity read = platform::IdentityOf(path);
  ini::IniDocument document;
  result.existing = ini::IniDocument::TryLoad(path, document);
  // A file that is there but cannot be read is never replaced: it would be lost.
  if (!result.existing.ok() && result.existing.status != ini::LoadStatus::Missing) {
    result.status = SaveStatus::ExistingUnreadable;
    return result;
  }
  result.encoding = document.encoding();
  result.name = FindUnstorableName(plan, document);
  if (result.name) {
    result.status = SaveStatus::UnstorableName;
    return result;
  }
  WritePlan(plan, document);
  try {
    document.Save(path, &read);
  } catch (const ini::WriteRefused& refused) {
    result.status = SaveStatus::Refused;
    result.refusal = refused.reason();
    return result;
  } catch (const ini::WriteError&) {
    result.status = SaveStatus::WriteFailed;
    return result;
  }
  Known().Remember(path);
  if (!platform::FlushFileToDisk(path)) result.status = SaveStatus::WriteFailed;
  return result;
}

std::string SaveFailureMessage(const SaveResult& result, std::string_view utf8Path) {
  switch (result.status) {
    case SaveStatus::Ok:
      return {};
    case SaveStatus::UnstorableName:
      return result.name ? UnstorableNameMessage(*result.name) : std::string();
    case SaveStatus::ExistingUnreadable:
      if (result.existing.status == ini::LoadStatus::TooLarge) {
        return LoadFailureMessage(result.existing, utf8Path) + " План в него не сохранён.";
      }
      break;
    case SaveStatus::Refused:
      return platform::RefusalText(result.refusal, std::string(utf8Path));
    case SaveStatus::WriteFailed:
      break;
  }
  return ini::WriteError(std::string(utf8Path)).what();
}

std::string CutLabel(std::string_view utf8Label) {
  size_t characters = 0;
  for (size_t i = 0; i < utf8Label.size(); ++i) {
    if (IsUtf8Continuation(utf8Label[i])) continue;
    if (characters == kMaxLabelCharacters) return std::string(utf8Label.substr(0, i));
    ++characters;
  }
  return std::string(utf8Label);
}

std::string ReadDeskLabel(const ini::IniDocument& settingsDocument, int deskNumber) {
  return CutLabel(settingsDocument.ReadString(settings::kNumDesk, settings::DeskKey(deskNumber),
                                              std::to_string(deskNumber)));
}

std::string ReadPairLinkCode(const ini::IniDocument& settingsDocument, int pairNumber) {
  return settingsDocument.ReadString(settings::kDesk2DeskCommIF,
                                     settings::PairCodeKey(pairNumber), kDefaultPairLinkCode);
}

Position StandardLayout(int deskNumber) {
  if (deskNumber < 1 || deskNumber > kDeskCount) return {0, 0};
  const int row = (deskNumber - 1) / kStandardColumns;
  const int column = (deskNumber - 1) % kStandardColumns;
  return {kStandardColumnLeft[column], kStandardFirstRowTop + row * kStandardRowStep};
}

std::string StandardStudentName(int deskNumber) {
  return "Ученик " + std::to_string(deskNumber);
}

bool StorableInSettings(std::string_view utf8Path) {
  // A line break would end the value's line; the writer turns it into a space.
  if (utf8Path.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
  return cp1251::Representable(utf8Path) &&
         cp1251::FromUtf8(utf8Path).size() <= ini::kMaxValueLength;
}

std::string UnstorablePathMessage(std::string_view utf8Path) {
  const std::string path(utf8Path);
  if (cp1251::Representable(utf8Path) && cp1251::FromUtf8(utf8Path).size() > ini::kMaxValueLength) {
    return "Имя файла слишком длинное, его нельзя сохранить в vormik.ini: " + path +
           ". Выберите файл с более коротким путём.";
  }
  return "Имя файла содержит символы, которые нельзя сохранить в vormik.ini: " + path +
         ". Выберите файл в другой папке или переименуйте его.";
}

}  // namespace classroom
