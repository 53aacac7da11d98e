// Every text the user sees from the core, exactly as the dialog shows it.
#pragma once

namespace ozr::text {

// Captions. "Ошибка" and "Ошибка!" are two different captions.
inline constexpr char16_t kCaptionError[] = u"Ошибка";
inline constexpr char16_t kCaptionErrorBang[] = u"Ошибка!";
inline constexpr char16_t kCaptionConfirm[] = u"Подтверждение";
inline constexpr char16_t kCaptionSuccess[] = u"Успех";
inline constexpr char16_t kDefaultCaption[] = u"Разархивирование";

// Opening an archive.
inline constexpr char16_t kOpenFailed[] = u"Ошибка при открытии архива.";
inline constexpr char16_t kArchiveReadFailed[] = u"Ошибка при чтении архива.";

// Making the key.
inline constexpr char16_t kAcquireContextFailed[] = u"Ошибка CryptAcquireContext";
inline constexpr char16_t kCreateHashFailed[] = u"Ошибка CryptCreateHash";
inline constexpr char16_t kHashDataFailed[] = u"Ошибка CryptHashData";
inline constexpr char16_t kDeriveKeyFailed[] = u"Ошибка CryptDeriveKey";

// Decoding one frame.
inline constexpr char16_t kFrameReadFailed[] = u"Ошибка чтения архива.";
inline constexpr char16_t kDecryptFailed[] =
    u"Ошибка расшифрования. Скорее всего, введен неверный пароль.";
inline constexpr char16_t kFrameSumMismatch[] =
    u"Введен неверный пароль (контрольные суммы не совпали).";
inline constexpr char16_t kInflateFailed[] = u"Ошибка разархивирования gzip.";

// The extraction job. %s stands for a path or an entry name.
inline constexpr char16_t kEnterPassword[] = u"Введите пароль.";
inline constexpr char16_t kCreateDirectoryFailed[] =
    u"Не удалось создать директорию %s.\r\nПрервать распаковку?";
inline constexpr char16_t kFileExists[] = u"Файл %s уже существует.\r\nПерезаписать?";
inline constexpr char16_t kCreateFileFailed[] =
    u"Не удалось создать файл %s.\r\nПрервать распаковку?";
inline constexpr char16_t kUnsafeEntryName[] =
    u"Недопустимое имя файла в архиве: %s.\r\nПрервать распаковку?";
inline constexpr char16_t kWriteFailed[] = u"Ошибка записи в файл.";
inline constexpr char16_t kEntrySumMismatch[] = u"Файл поврежден, не совпали контрольные суммы.";
inline constexpr char16_t kExtractionSucceeded[] = u"Выбранные файлы успешно распакованы.";

// The dialog's commands.
inline constexpr char16_t kSelectFiles[] = u"Выберите файлы для распаковки.";
inline constexpr char16_t kInvalidDestination[] = u"Недопустимая директория для распаковки файлов.";
inline constexpr char16_t kThreadStartFailed[] = u"Ошибка создания потока распаковки.";
inline constexpr char16_t kAbortQuestion[] = u"Прервать процесс распаковки?";
inline constexpr char16_t kFinishFirst[] = u"Сначала завершите распаковку.";
inline constexpr char16_t kBrowseTitle[] = u"Выберите директорию для распаковки";

// The open-file dialog of the start-up choice: its title and its filters (text, pattern).
inline constexpr char16_t kOpenArchiveTitle[] = u"Открыть архив...";
inline constexpr char16_t kFilterArchives[] = u"Архивные файлы (*.ozr)";
inline constexpr char16_t kFilterSelfExtracting[] = u"Самораспаковывающиеся архивы (*.exe)";
inline constexpr char16_t kFilterAllFiles[] = u"Все файлы (*.*)";

}  // namespace ozr::text

namespace ozr::text {

// The archive writer. %s stands for an entry name or a path.
inline constexpr char16_t kPackEmptyEntry[] = u"Пустой файл не может быть записан в архив: %s.";
inline constexpr char16_t kPackNameTooLong[] = u"Имя в архиве длиннее 260 знаков: %s.";
inline constexpr char16_t kPackTitleLength[] =
    u"Заголовок архива должен занимать от 1 до 64 знаков.";
inline constexpr char16_t kPackCommentTooLong[] = u"Комментарий архива длиннее 255 знаков.";
inline constexpr char16_t kPackLevelRange[] = u"Степень сжатия должна быть от 0 до 9.";
inline constexpr char16_t kPackPasswordTooLong[] = u"Пароль длиннее 16 знаков.";
inline constexpr char16_t kPackSourceReadFailed[] = u"Не удалось прочитать файл %s.";
inline constexpr char16_t kPackDirectoryTooLarge[] =
    u"Каталог архива не помещается в его формат (слишком много файлов).";
inline constexpr char16_t kPackCompressFailed[] = u"Ошибка сжатия данных.";
inline constexpr char16_t kPackEncryptFailed[] = u"Ошибка шифрования данных.";

}  // namespace ozr::text
