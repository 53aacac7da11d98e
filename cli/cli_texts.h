// The texts only the command-line tool shows: help, usage errors, prompts and its own messages.
// Everything the dialog also shows comes from base/texts.h unchanged.
#pragma once

namespace ozr::cli::text {

inline constexpr char16_t kHelp[] =
    u"ozr — просмотр, проверка, распаковка и создание архивов .ozr\n"
    u"\n"
    u"Использование:\n"
    u"  ozr list АРХИВ [-n]\n"
    u"  ozr test АРХИВ [-p ПАРОЛЬ] [-q] [НОМЕР…]\n"
    u"  ozr extract АРХИВ [-o ПАПКА] [-p ПАРОЛЬ] [--overwrite ask|yes|no] [-q] [НОМЕР…]\n"
    u"  ozr pack ВЫХОД ФАЙЛ_ИЛИ_ПАПКА… [-p ПАРОЛЬ] [-l СТЕПЕНЬ] [--title ТЕКСТ]\n"
    u"           [--comment ТЕКСТ] [--sfx [--stub ПУТЬ]] [-q]\n"
    u"\n"
    u"Команды:\n"
    u"  list     показать заголовок, комментарий и список файлов архива\n"
    u"  test     проверить все файлы архива, ничего не записывая\n"
    u"  extract  распаковать все файлы или файлы с указанными номерами\n"
    u"  pack     создать архив или самораспаковывающийся архив (.exe)\n"
    u"\n"
    u"Подробнее о команде: ozr КОМАНДА --help\n"
    u"Коды завершения: 0 — успех, 1 — ошибка, 2 — неверная командная строка,\n"
    u"130 — прервано пользователем.\n";

inline constexpr char16_t kListHelp[] =
    u"Использование: ozr list АРХИВ [-n]\n"
    u"\n"
    u"Показывает заголовок архива, его комментарий, строку с числом файлов и размерами,\n"
    u"степень сжатия и по строке на каждый файл — теми же словами, что и окно распаковщика.\n"
    u"\n"
    u"  -n, --numbers  начинать строку файла с его номера (номера нужны командам\n"
    u"                 extract и test; счёт идёт с 0)\n"
    u"  -h, --help     показать эту справку\n";

inline constexpr char16_t kTestHelp[] =
    u"Использование: ozr test АРХИВ [-p ПАРОЛЬ] [-q] [НОМЕР…]\n"
    u"\n"
    u"Распаковывает все файлы архива (или файлы с указанными номерами) в никуда и сверяет\n"
    u"все контрольные суммы. Имена, которые распаковка не запишет, перечисляются отдельно.\n"
    u"Код завершения 0 — только если все файлы исправны и все имена допустимы.\n"
    u"\n"
    u"  -p, --password ПАРОЛЬ  пароль зашифрованного архива (не длиннее 16 знаков); без него\n"
    u"                         пароль спрашивается, если подключён терминал\n"
    u"  -q, --quiet            без индикатора хода работы и без сообщения об успехе\n"
    u"  -h, --help             показать эту справку\n";

inline constexpr char16_t kExtractHelp[] =
    u"Использование: ozr extract АРХИВ [-o ПАПКА] [-p ПАРОЛЬ] [--overwrite ask|yes|no] [-q]\n"
    u"                           [НОМЕР…]\n"
    u"\n"
    u"Распаковывает все файлы архива или файлы с указанными номерами (см. ozr list -n).\n"
    u"\n"
    u"  -o, --output ПАПКА     куда распаковать (по умолчанию текущая папка; недостающие\n"
    u"                         папки создаются)\n"
    u"  -p, --password ПАРОЛЬ  пароль зашифрованного архива (не длиннее 16 знаков); без него\n"
    u"                         пароль спрашивается, если подключён терминал\n"
    u"  --overwrite ask|yes|no существующие файлы: спросить (по умолчанию, если подключён\n"
    u"                         терминал), заменять, оставлять (по умолчанию без терминала)\n"
    u"  -q, --quiet            без индикатора хода работы и без сообщения об успехе\n"
    u"  -h, --help             показать эту справку\n"
    u"\n"
    u"Без терминала вопрос «Прервать распаковку?» получает ответ «да», кроме вопроса\n"
    u"о недопустимом имени: такой файл пропускается, а код завершения будет 1.\n";

inline constexpr char16_t kPackHelp[] =
    u"Использование: ozr pack ВЫХОД ФАЙЛ_ИЛИ_ПАПКА… [-p ПАРОЛЬ] [-l СТЕПЕНЬ] [--title ТЕКСТ]\n"
    u"                        [--comment ТЕКСТ] [--sfx [--stub ПУТЬ]] [-q]\n"
    u"\n"
    u"Записывает файлы в архив ВЫХОД. Папка записывается со всем содержимым под своим именем\n"
    u"(папка «.» — только содержимым); файлы идут в порядке имён, поэтому одинаковые входные\n"
    u"данные дают одинаковый архив. Пустые файлы и пустые папки формат архива хранить\n"
    u"не умеет: они пропускаются с предупреждением.\n"
    u"\n"
    u"  -p, --password ПАРОЛЬ  зашифровать архив (пароль не длиннее 16 знаков); без него\n"
    u"                         архив не шифруется\n"
    u"  -l, --level СТЕПЕНЬ    степень сжатия от 0 до 9 (по умолчанию 6)\n"
    u"  --title ТЕКСТ          заголовок окна распаковщика, до 64 знаков (по умолчанию\n"
    u"                         имя файла ВЫХОД)\n"
    u"  --comment ТЕКСТ        комментарий, до 255 знаков\n"
    u"  --sfx                  создать самораспаковывающийся архив: распаковщик\n"
    u"                         unpacker.exe (лежащий рядом с ozr) и за ним архив\n"
    u"  --stub ПУТЬ            взять распаковщик из файла ПУТЬ (вместе с --sfx)\n"
    u"  -q, --quiet            без индикатора хода работы и без итоговых строк\n"
    u"  -h, --help             показать эту справку\n";

// Usage errors. %s stands for an argument as given.
inline constexpr char16_t kNoCommand[] = u"Не указана команда.";
inline constexpr char16_t kUnknownCommand[] = u"Неизвестная команда: %s.";
inline constexpr char16_t kUnknownArgument[] = u"Неизвестный аргумент: %s.";
inline constexpr char16_t kMissingValue[] = u"Не указано значение параметра %s.";
inline constexpr char16_t kBadCommandLine[] = u"Не удалось разобрать командную строку.";
inline constexpr char16_t kNoArchive[] = u"Не указан архив.";
inline constexpr char16_t kNoOutput[] = u"Не указан файл архива, который нужно создать.";
inline constexpr char16_t kNoInputs[] = u"Не указаны файлы или папки для записи в архив.";
inline constexpr char16_t kBadIndex[] = u"Номер файла должен быть целым числом от 0: %s.";
inline constexpr char16_t kBadOverwrite[] =
    u"Параметр --overwrite принимает значения ask, yes или no: %s.";
inline constexpr char16_t kStubNeedsSfx[] = u"Параметр --stub действует только вместе с --sfx.";
inline constexpr char16_t kSeeHelp[] = u"Подробнее: ozr %s --help";
inline constexpr char16_t kSeeGeneralHelp[] = u"Подробнее: ozr --help";

// Running a command. %s stands for a path, a name or a number.
inline constexpr char16_t kPasswordPrompt[] = u"Пароль: ";
inline constexpr char16_t kAnswerPrompt[] = u" [д/н] ";
inline constexpr char16_t kAnswerYes[] = u"да";
inline constexpr char16_t kAnswerNo[] = u"нет";
inline constexpr char16_t kNoSuchIndex[] = u"В архиве нет файла с номером %s.";
inline constexpr char16_t kTestSucceeded[] = u"Все файлы архива исправны.";
inline constexpr char16_t kUnsafeNameTested[] = u"Недопустимое имя файла в архиве: %s.";
inline constexpr char16_t kOutOfMemory[] = u"Недостаточно памяти.";
inline constexpr char16_t kInterrupted[] = u"Прервано пользователем.";
inline constexpr char16_t kCreateOutputFailed[] = u"Не удалось создать файл %s.";
inline constexpr char16_t kTemporaryFileLeft[] = u"Не удалось удалить временный файл %s.";
inline constexpr char16_t kNothingToPack[] =
    u"Нет ни одного файла, который можно записать в архив.";
inline constexpr char16_t kDuplicateName[] = u"Имя %s встречается в архиве дважды.";
inline constexpr char16_t kUnrepresentableName[] =
    u"Имя файла нельзя записать в архив (в нём есть «\\» или знаки не в UTF-8): %s.";
inline constexpr char16_t kNameRefusedOnWindows[] =
    u"Имя файла нельзя записать в архив (в Windows оно недопустимо: «:», имя устройства, точка "
    u"или пробел в конце, знак направления письма): %s.";
inline constexpr char16_t kEmptyFolderSkipped[] =
    u"Пустая папка не может быть записана в архив: %s.";
inline constexpr char16_t kSpecialFileSkipped[] = u"Пропущен %s: это не обычный файл и не папка.";
inline constexpr char16_t kFolderLinkSkipped[] = u"Пропущена ссылка на папку %s.";
inline constexpr char16_t kStubSignatureRemoved[] =
    u"Подпись распаковщика %s удалена: архив за ним сделал бы её недействительной. "
    u"Подпишите готовый файл.";

}  // namespace ozr::cli::text
