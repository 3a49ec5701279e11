// The words for a refused replace and the plain replace, the same on every system.
#include "platform/safereplace.h"

#include "platform/system.h"

namespace platform {

std::string RefusalText(ReplaceStatus status, const std::string& utf8Path) {
  const std::string file = "«" + utf8Path + "»";
  switch (status) {
    case ReplaceStatus::Ok:
    case ReplaceStatus::Failed:
      return {};
    case ReplaceStatus::ForeignLink:
      return "Файл " + file +
             " не сохранён: на его месте символическая ссылка, созданная другим пользователем "
             "или в папке, куда могут писать другие. Сохраните в другой файл.";
    case ReplaceStatus::Changed:
      return "Файл " + file +
             " не сохранён: после открытия его заменили другим файлом. Сохраните в другой файл.";
    case ReplaceStatus::ForeignEntry:
      return "Файл " + file +
             " не сохранён: он принадлежит другому пользователю, а в его папку могут писать "
             "другие. Сохраните в другой файл.";
  }
  return {};
}

bool ReplaceFileAtomically(const std::string& path, const std::string& bytes) {
  return SafeReplaceFile(path, bytes) == ReplaceStatus::Ok;
}

}  // namespace platform
