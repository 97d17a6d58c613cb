<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>LangText</name>
    <message>
        <source>Vimo PDA/Oskel/Varyon History Synchronizer</source>
        <translation>Синхронизатор истории Vimo PDA/Oskel/Varyon</translation>
    </message>
    <message>
        <source>Invalid ZMT file structure</source>
        <translation>Неверная структура файла ZMT</translation>
    </message>
    <message>
        <source>Not supported ZMT file format %s</source>
        <translation>Неподдерживаемый формат файла ZMT: %s</translation>
    </message>
    <message>
        <source>Trying to save file with empty filename</source>
        <translation>Попытка сохранить файл с пустым именем</translation>
    </message>
    <message>
        <source>Message text too long to store (%d bytes) in file %s</source>
        <translation>Текст сообщения слишком длинный (байт: %d) для записи в файл %s</translation>
    </message>
    <message>
        <source>Contact UIN or nick too long to store (%d bytes) in file %s</source>
        <translation>UIN или ник контакта слишком длинный (байт: %d) для записи в файл %s</translation>
    </message>
    <message>
        <source>Cannot read file %s: %s</source>
        <translation>Не удаётся прочитать файл %s: %s</translation>
    </message>
    <message>
        <source>Some files could not be read:<byte value="xd"/>
%s</source>
        <translation>Не удалось прочитать некоторые файлы:<byte value="xd"/>
%s</translation>
    </message>
    <message numerus="yes">
        <source>and %n more (see the debug log)</source>
        <translation>
            <numerusform>и ещё %n файл (см. отладочный журнал)</numerusform>
            <numerusform>и ещё %n файла (см. отладочный журнал)</numerusform>
            <numerusform>и ещё %n файлов (см. отладочный журнал)</numerusform>
        </translation>
    </message>
    <message>
        <source>Cannot write file %s: %s</source>
        <translation>Не удаётся записать файл %s: %s</translation>
    </message>
    <message>
        <source>Cannot replace file %s: %s</source>
        <translation>Не удаётся заменить файл %s: %s</translation>
    </message>
    <message>
        <source>Cannot remove file %s: %s</source>
        <translation>Не удаётся удалить файл %s: %s</translation>
    </message>
    <message numerus="yes">
        <source>%n lines could not be read as messages</source>
        <translation>
            <numerusform>%n строку не удалось прочитать как сообщение</numerusform>
            <numerusform>%n строки не удалось прочитать как сообщения</numerusform>
            <numerusform>%n строк не удалось прочитать как сообщения</numerusform>
        </translation>
    </message>
    <message>
        <source>a record is cut short</source>
        <translation>запись обрезана</translation>
    </message>
    <message>
        <source>archive file %s could not be read whole</source>
        <translation>архивный файл %s прочитан не полностью</translation>
    </message>
    <message>
        <source>Message date %s lies outside the dates file %s can store</source>
        <extracomment>The message&apos;s date and time, then the file name.</extracomment>
        <translation>Дата сообщения %s выходит за пределы дат, которые может хранить файл %s</translation>
    </message>
    <message>
        <source>A message of %s would not read back from file %s as it was written</source>
        <extracomment>The contact&apos;s UIN, then the file name.</extracomment>
        <translation>Сообщение контакта %s не удастся прочитать из файла %s в том виде, в каком оно будет записано</translation>
    </message>
    <message>
        <source>Unknown code page &quot;%s&quot; (key CodePage of section ParseTXT in the settings file)</source>
        <translation>Неизвестная кодовая страница &quot;%s&quot; (ключ CodePage раздела ParseTXT в файле настроек)</translation>
    </message>
    <message>
        <source>Select source directory</source>
        <translation>Выберите исходную папку</translation>
    </message>
    <message>
        <source>Select destination directory</source>
        <translation>Выберите папку назначения</translation>
    </message>
    <message>
        <source>Directory is absent: %s</source>
        <translation>Папка не найдена: %s</translation>
    </message>
    <message>
        <source>You are about to synchronize the same directory!</source>
        <translation>Вы пытаетесь синхронизировать папку саму с собой!</translation>
    </message>
    <message>
        <source>%d checked of %d (%d hidden)</source>
        <extracomment>Checked contacts, all contacts, hidden contacts.</extracomment>
        <translation>Отмечено: %d из %d (скрыто: %d)</translation>
    </message>
    <message>
        <source>%d of %d</source>
        <extracomment>Contacts done, then contacts in all.</extracomment>
        <translation>%d из %d</translation>
    </message>
    <message>
        <source>+%d → / +%d ←</source>
        <extracomment>Messages the destination lacks, then messages the source lacks.</extracomment>
        <translation>+%d → / +%d ←</translation>
    </message>
    <message>
        <source>Synchronization cancelled after %d of %d contacts</source>
        <extracomment>Contacts done, then contacts in all.</extracomment>
        <translation>Синхронизация отменена после %d из %d контактов</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Stop after the contacts being worked on</source>
        <translation>Остановить после обработки текущих контактов</translation>
    </message>
    <message>
        <source>%d of %d, about %s left</source>
        <extracomment>Contacts done, contacts in all, then the time left (&quot;3 min&quot;).</extracomment>
        <translation>%d из %d, осталось около %s</translation>
    </message>
    <message>
        <source>Enter Nick before synchronization execution</source>
        <translation>Перед синхронизацией укажите ник</translation>
    </message>
    <message>
        <source>Enter Your own nick</source>
        <translation>Введите свой ник</translation>
    </message>
    <message>
        <source>New Nick (if auto-detection failed):</source>
        <translation>Новый ник (если автоопределение не сработало):</translation>
    </message>
    <message>
        <source>Really synchronize selected items?</source>
        <translation>Синхронизировать отмеченные контакты?</translation>
    </message>
    <message>
        <source>Current default file version: %s</source>
        <translation>Текущая версия файлов по умолчанию: %s</translation>
    </message>
    <message>
        <source>Also use archives files (*.ahf)</source>
        <translation>Также использовать архивные файлы (*.ahf)</translation>
    </message>
    <message>
        <source>Do not use archives</source>
        <translation>Не использовать архивы</translation>
    </message>
    <message>
        <source>Synchronizing</source>
        <translation>Синхронизация</translation>
    </message>
    <message>
        <source>Synchronization finished</source>
        <translation>Синхронизация завершена</translation>
    </message>
    <message>
        <source>Synchronization finished.<byte value="xd"/>
Files updated: %d<byte value="xd"/>
Files created: %d</source>
        <translation>Синхронизация завершена.<byte value="xd"/>
Файлов обновлено: %d<byte value="xd"/>
Файлов создано: %d</translation>
    </message>
    <message>
        <source>Files backuped: %d</source>
        <translation>Файлов помещено в корзину: %d</translation>
    </message>
    <message>
        <source>Source files updated: %d<byte value="xd"/>
Source files created: %d</source>
        <translation>Файлов источника обновлено: %d<byte value="xd"/>
Файлов источника создано: %d</translation>
    </message>
    <message>
        <source>Both ways: the source gets the messages of the destination too.</source>
        <translation>В обе стороны: в источник тоже будут добавлены сообщения из папки назначения.</translation>
    </message>
    <message>
        <source>Default source file version: %s</source>
        <translation>Версия файлов источника по умолчанию: %s</translation>
    </message>
    <message>
        <source>The backup to the trash is off: this synchronization cannot be undone in full (an undo can only take away the files it creates).</source>
        <translation>Резервное копирование в корзину отключено: эту синхронизацию нельзя будет отменить полностью (отмена сможет лишь убрать созданные ею файлы).</translation>
    </message>
    <message>
        <source>The journal of this synchronization cannot be written: %s. Without it the synchronization cannot be undone afterwards.</source>
        <translation>Не удаётся записать журнал этой синхронизации: %s. Без журнала синхронизацию нельзя будет потом отменить.</translation>
    </message>
    <message>
        <source>Synchronize without a way to undo it?</source>
        <translation>Синхронизировать без возможности отмены?</translation>
    </message>
    <message>
        <source>%s has changed since the synchronization</source>
        <extracomment>A file name.</extracomment>
        <translation>Файл %s изменён после синхронизации</translation>
    </message>
    <message>
        <source>%s was changed by another program during the synchronization</source>
        <translation>Файл %s был изменён другой программой во время синхронизации</translation>
    </message>
    <message>
        <source>%s: the journal names a file outside the destination or the trash; it is not touched</source>
        <translation>%s: журнал указывает на файл вне папки назначения и корзины; файл не затрагивается</translation>
    </message>
    <message>
        <source>%s: its old content was not kept (the backup to the trash was off)</source>
        <translation>%s: прежнее содержимое не сохранено (резервное копирование в корзину было отключено)</translation>
    </message>
    <message>
        <source>%s: its old content is no longer in the trash</source>
        <translation>%s: прежнего содержимого больше нет в корзине</translation>
    </message>
    <message>
        <source>There is no synchronization of %s to undo.</source>
        <translation>Для папки %s нет синхронизации, которую можно отменить.</translation>
    </message>
    <message>
        <source>There is no synchronization %s of %s.</source>
        <extracomment>The run&apos;s name (its start time), then the destination folder.</extracomment>
        <translation>Синхронизация %s для папки %s не найдена.</translation>
    </message>
    <message>
        <source>The synchronization of %s was undone already: there is nothing more to do.</source>
        <translation>Синхронизация от %s уже отменена: больше делать нечего.</translation>
    </message>
    <message>
        <source>Nothing to undo: the files of the synchronization of %s hold what they held before it.</source>
        <translation>Нечего отменять: файлы синхронизации от %s содержат то же, что и до неё.</translation>
    </message>
    <message>
        <source>Undo the synchronization of %s (%s into %s)?</source>
        <extracomment>The run&apos;s start date, then the source and the destination folders.</extracomment>
        <translation>Отменить синхронизацию от %s (из %s в %s)?</translation>
    </message>
    <message>
        <source>%d files get their old content back from the trash, %d files it created go to the trash.</source>
        <extracomment>Files put back, then files taken away.</extracomment>
        <translation>Из корзины будет возвращено прежнее содержимое файлов: %d. В корзину будут перемещены созданные ею файлы: %d.</translation>
    </message>
    <message>
        <source>Contacts: %s</source>
        <translation>Контакты: %s</translation>
    </message>
    <message>
        <source>The backup to the trash was off for that synchronization: the undo can only take away the files it created.</source>
        <translation>При той синхронизации резервное копирование в корзину было отключено: отмена может лишь убрать созданные ею файлы.</translation>
    </message>
    <message numerus="yes">
        <source>%n files will be left as they are:</source>
        <translation>
            <numerusform>%n файл останется без изменений:</numerusform>
            <numerusform>%n файла останутся без изменений:</numerusform>
            <numerusform>%n файлов останутся без изменений:</numerusform>
        </translation>
    </message>
    <message>
        <source>  %s</source>
        <extracomment>One file or contact of a list, indented under its heading.</extracomment>
        <translation>  %s</translation>
    </message>
    <message numerus="yes">
        <source>  and %n more (see the debug log)</source>
        <translation>
            <numerusform>  и ещё %n файл (см. отладочный журнал)</numerusform>
            <numerusform>  и ещё %n файла (см. отладочный журнал)</numerusform>
            <numerusform>  и ещё %n файлов (см. отладочный журнал)</numerusform>
        </translation>
    </message>
    <message>
        <source>Undo finished: %d files put back, %d files taken away.</source>
        <extracomment>Files put back, then files taken away.</extracomment>
        <translation>Отмена завершена. Файлов восстановлено: %d, убрано: %d.</translation>
    </message>
    <message>
        <source>Left as they are:</source>
        <translation>Оставлены без изменений:</translation>
    </message>
    <message>
        <source>Files skipped: %d</source>
        <translation>Файлов пропущено: %d</translation>
    </message>
    <message>
        <source>Destination file %s is damaged; contact %s skipped</source>
        <translation>Файл назначения %s повреждён; контакт %s пропущен</translation>
    </message>
    <message>
        <source>Source file %s is damaged; contact %s skipped: %s</source>
        <extracomment>The file name, the contact&apos;s UIN, then what is wrong.</extracomment>
        <translation>Файл источника %s повреждён; контакт %s пропущен: %s</translation>
    </message>
    <message>
        <source>Contact %s skipped: %s</source>
        <extracomment>The contact&apos;s UIN, then the error.</extracomment>
        <translation>Контакт %s пропущен: %s</translation>
    </message>
    <message>
        <source>Contact %s skipped: its UIN is not a plain file name</source>
        <translation>Контакт %s пропущен: его UIN не является простым именем файла</translation>
    </message>
    <message>
        <source>File %s lies outside the destination; contact %s skipped</source>
        <translation>Файл %s находится вне папки назначения; контакт %s пропущен</translation>
    </message>
    <message>
        <source>Skipped: %s</source>
        <translation>Пропущено: %s</translation>
    </message>
    <message>
        <source>... and %d more</source>
        <translation>... и ещё %d</translation>
    </message>
    <message>
        <source>Skipped %s: not a regular file</source>
        <translation>Пропущен %s: это не обычный файл</translation>
    </message>
    <message>
        <source>Skipped %s: its name is not valid UTF-8</source>
        <translation>Пропущен %s: имя не является допустимой строкой UTF-8</translation>
    </message>
    <message>
        <source>Can&apos;t create monitoring thread for %s</source>
        <translation>Не удаётся создать поток отслеживания для %s</translation>
    </message>
    <message>
        <source>Fatal error. Wait failed</source>
        <translation>Критическая ошибка. Сбой ожидания</translation>
    </message>
    <message>
        <source>%s directory content change detected.<byte value="xd"/>
You need to restart Analyse.</source>
        <extracomment>&quot;Source&quot; or &quot;Destination&quot; (the name of the tab).</extracomment>
        <translation>%s: обнаружено изменение содержимого папки.<byte value="xd"/>
Нужно повторить анализ.</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>Источник</translation>
    </message>
    <message>
        <source>Destination</source>
        <translation>Назначение</translation>
    </message>
    <message>
        <source>This will clear current selection. Continue?</source>
        <translation>Текущие отметки будут сняты. Продолжить?</translation>
    </message>
    <message numerus="yes">
        <source>Do you really want to delete<byte value="xd"/>
%n marked source files?</source>
        <translation>
            <numerusform>Вы действительно хотите удалить<byte value="xd"/>
%n отмеченный файл источника?</numerusform>
            <numerusform>Вы действительно хотите удалить<byte value="xd"/>
%n отмеченных файла источника?</numerusform>
            <numerusform>Вы действительно хотите удалить<byte value="xd"/>
%n отмеченных файлов источника?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n files was successfully deleted</source>
        <translation>
            <numerusform>%n файл успешно удалён</numerusform>
            <numerusform>%n файла успешно удалены</numerusform>
            <numerusform>%n файлов успешно удалено</numerusform>
        </translation>
    </message>
    <message>
        <source>%d %s</source>
        <extracomment>An error number, then its text.</extracomment>
        <translation>%d %s</translation>
    </message>
    <message>
        <source>Merged</source>
        <translation>Слияние</translation>
    </message>
    <message>
        <source>&lt;&gt;</source>
        <translation>&lt;&gt;</translation>
    </message>
    <message>
        <source>Names of files and their versions</source>
        <translation>Имена файлов и их версии</translation>
    </message>
    <message>
        <source> --&gt; </source>
        <translation> --&gt; </translation>
    </message>
    <message>
        <source>&lt; Invalid source file! &gt;</source>
        <translation>&lt; Неверный файл источника! &gt;</translation>
    </message>
    <message numerus="yes">
        <source>%n messages</source>
        <translation>
            <numerusform>%n сообщение</numerusform>
            <numerusform>%n сообщения</numerusform>
            <numerusform>%n сообщений</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n differences</source>
        <translation>
            <numerusform>%n различие</numerusform>
            <numerusform>%n различия</numerusform>
            <numerusform>%n различий</numerusform>
        </translation>
    </message>
    <message>
        <source>; </source>
        <translation>; </translation>
    </message>
    <message>
        <source>Start out Src</source>
        <translation>Вывод источника: начало</translation>
    </message>
    <message>
        <source>!App Exception: (%s) %s</source>
        <extracomment>The kind of error, then its message.</extracomment>
        <translation>!Исключение приложения: (%s) %s</translation>
    </message>
    <message>
        <source>Source directory:</source>
        <translation>Исходная папка:</translation>
    </message>
    <message>
        <source>Destination directory:</source>
        <translation>Папка назначения:</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Analyse</source>
        <translation>Анализ</translation>
    </message>
    <message>
        <source>Analyse|Analyse directories and compare content</source>
        <translation>Анализ|Проанализировать папки и сравнить содержимое</translation>
    </message>
    <message>
        <source>Reset All</source>
        <translation>Сбросить всё</translation>
    </message>
    <message>
        <source>Reset analyse results|Select new directories for work</source>
        <translation>Сбросить результаты анализа|Выбрать другие папки для работы</translation>
    </message>
    <message>
        <source>Synchronize</source>
        <translation>Синхронизация</translation>
    </message>
    <message>
        <source>Synchronize|Start synchronization of checked items</source>
        <translation>Синхронизация|Синхронизировать отмеченные контакты</translation>
    </message>
    <message>
        <source>Undo last synchronization...</source>
        <translation>Отменить последнюю синхронизацию...</translation>
    </message>
    <message>
        <source>Undo last synchronization|Put the destination&apos;s files back as they were before the last synchronization</source>
        <translation>Отменить последнюю синхронизацию|Вернуть файлы папки назначения в состояние до последней синхронизации</translation>
    </message>
    <message>
        <source>Edit Nick</source>
        <translation>Изменить ник</translation>
    </message>
    <message>
        <source>Edit Nick|Edit own Nickname to insert to destination history</source>
        <translation>Изменить ник|Изменить свой ник, который записывается в историю назначения</translation>
    </message>
    <message>
        <source>Find..</source>
        <translation>Найти...</translation>
    </message>
    <message>
        <source>Find text</source>
        <translation>Найти текст</translation>
    </message>
    <message>
        <source>Select all</source>
        <translation>Отметить все</translation>
    </message>
    <message>
        <source>Select all|Select all items</source>
        <translation>Отметить все|Отметить все контакты</translation>
    </message>
    <message>
        <source>Select different</source>
        <translation>Отметить с различиями</translation>
    </message>
    <message>
        <source>Select different|Select all items that differs</source>
        <translation>Отметить с различиями|Отметить все контакты, в которых есть различия</translation>
    </message>
    <message>
        <source>Deselect all</source>
        <translation>Снять отметки</translation>
    </message>
    <message>
        <source>Deselect all|Deselect all items</source>
        <translation>Снять отметки|Снять отметки со всех контактов</translation>
    </message>
    <message>
        <source>Copy UIN</source>
        <translation>Копировать UIN</translation>
    </message>
    <message>
        <source>Copy UIN|Copy current UIN to clipboard</source>
        <translation>Копировать UIN|Копировать UIN текущего контакта в буфер обмена</translation>
    </message>
    <message>
        <source>Select inverse</source>
        <translation>Обратить отметки</translation>
    </message>
    <message>
        <source>Select inverse|Invert items selection</source>
        <translation>Обратить отметки|Поменять отмеченные и неотмеченные контакты местами</translation>
    </message>
    <message>
        <source>Copy nick</source>
        <translation>Копировать ник</translation>
    </message>
    <message>
        <source>Copy nick|Copy current Nickname to clipboard</source>
        <translation>Копировать ник|Копировать ник текущего контакта в буфер обмена</translation>
    </message>
    <message>
        <source>Find next</source>
        <translation>Найти далее</translation>
    </message>
    <message>
        <source>Find next|Find next occurence in current direction</source>
        <translation>Найти далее|Найти следующее вхождение в текущем направлении</translation>
    </message>
    <message>
        <source>Find forward</source>
        <translation>Найти вперёд</translation>
    </message>
    <message>
        <source>Find forward|Find next occurence forward from current position</source>
        <translation>Найти вперёд|Найти следующее вхождение после текущей позиции</translation>
    </message>
    <message>
        <source>Find back</source>
        <translation>Найти назад</translation>
    </message>
    <message>
        <source>Find back|Find next occurence back from current position</source>
        <translation>Найти назад|Найти предыдущее вхождение перед текущей позицией</translation>
    </message>
    <message>
        <source>Settings...</source>
        <translation>Настройки...</translation>
    </message>
    <message>
        <source>Settings|Bring up settings dialog</source>
        <translation>Настройки|Открыть окно настроек</translation>
    </message>
    <message>
        <source>Delete source files</source>
        <translation>Удалить файлы источника</translation>
    </message>
    <message>
        <source>Delete source files|Delete checked source files from disk</source>
        <translation>Удалить файлы источника|Удалить с диска отмеченные файлы источника</translation>
    </message>
    <message>
        <source>Look for spam</source>
        <translation>Найти спам</translation>
    </message>
    <message>
        <source>Look for spam|Select files that match spam detection conditions</source>
        <translation>Найти спам|Отметить файлы, подходящие под условия распознавания спама</translation>
    </message>
    <message>
        <source>Show Unchecked</source>
        <translation>Показ неотмеченных</translation>
    </message>
    <message>
        <source>Show Unchecked|Show / hide unchecked files</source>
        <translation>Показ неотмеченных|Показать или скрыть неотмеченные файлы</translation>
    </message>
    <message>
        <source>Full-text search</source>
        <translation>Полнотекстовый поиск</translation>
    </message>
    <message>
        <source>Full-text search|Select source files containing text string</source>
        <translation>Полнотекстовый поиск|Отметить файлы источника, содержащие заданную строку</translation>
    </message>
    <message>
        <source>Next difference</source>
        <translation>Следующее различие</translation>
    </message>
    <message>
        <source>Next difference|Go to next difference</source>
        <translation>Следующее различие|Перейти к следующему различию</translation>
    </message>
    <message>
        <source>Previous difference</source>
        <translation>Предыдущее различие</translation>
    </message>
    <message>
        <source>Previous difference|Go to previous difference</source>
        <translation>Предыдущее различие|Перейти к предыдущему различию</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Выход</translation>
    </message>
    <message>
        <source>Close application</source>
        <translation>Закрыть программу</translation>
    </message>
    <message>
        <source>About..</source>
        <translation>О программе...</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Файл</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Правка</translation>
    </message>
    <message>
        <source>Navigate</source>
        <translation>Навигация</translation>
    </message>
    <message>
        <source>Tools</source>
        <translation>Сервис</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Справка</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Поиск</translation>
    </message>
    <message>
        <source>Full-text search in all source files</source>
        <translation>Полнотекстовый поиск во всех файлах источника</translation>
    </message>
    <message>
        <source>Find what:</source>
        <translation>Найти:</translation>
    </message>
    <message>
        <source>Match case</source>
        <translation>Учитывать регистр</translation>
    </message>
    <message>
        <source>Whole word</source>
        <translation>Слово целиком</translation>
    </message>
    <message>
        <source>Direction</source>
        <translation>Направление</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Вверх</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Вниз</translation>
    </message>
    <message>
        <source>Find Next</source>
        <translation>Найти далее</translation>
    </message>
    <message>
        <source>About</source>
        <translation>О программе</translation>
    </message>
    <message>
        <source>Compares and merges message histories of two directories.</source>
        <translation>Сравнивает и объединяет истории сообщений из двух папок.</translation>
    </message>
    <message>
        <source>This program is provided as is, without warranty of any kind. Keep a copy of your history directories before you synchronize them: the program replaces history files in the destination directory and moves the replaced files to the trash only when &quot;Backup changed files to Recycle Bin&quot; is on.</source>
        <translation>Программа предоставляется «как есть», без каких-либо гарантий. Перед синхронизацией сохраните копию папок с историями: программа заменяет файлы истории в папке назначения, а заменённые файлы перемещает в корзину, только если включён параметр «Отправлять заменяемые файлы в корзину».</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Настройки</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Общие</translation>
    </message>
    <message>
        <source>Date/Time</source>
        <translation>Дата/время</translation>
    </message>
    <message>
        <source>Spam</source>
        <translation>Спам</translation>
    </message>
    <message>
        <source>Merge</source>
        <translation>Слияние</translation>
    </message>
    <message>
        <source>Miscellaneous</source>
        <translation>Разное</translation>
    </message>
    <message>
        <source>Use debug logging (after restart)</source>
        <translation>Вести отладочный журнал (после перезапуска)</translation>
    </message>
    <message>
        <source>Store some debug information to log text file</source>
        <translation>Записывать отладочные сведения в текстовый файл</translation>
    </message>
    <message>
        <source>Show message numbers (Merged tab only)</source>
        <translation>Номера сообщений (только на вкладке «Слияние»)</translation>
    </message>
    <message>
        <source>Show message number prior to message itself</source>
        <translation>Показывать номер перед каждым сообщением</translation>
    </message>
    <message>
        <source>Backup changed files to Recycle Bin</source>
        <translation>Отправлять заменяемые файлы в корзину</translation>
    </message>
    <message>
        <source>Backup changed files in system Recycle Bin</source>
        <translation>Сохранять прежние версии изменяемых файлов в системной корзине</translation>
    </message>
    <message>
        <source>Use Varyon&apos;s archives (Varyon only)</source>
        <translation>Использовать архивы Varyon (только Varyon)</translation>
    </message>
    <message>
        <source>Use archive files (ahf) for synchronization</source>
        <translation>Использовать при синхронизации архивные файлы (ahf)</translation>
    </message>
    <message>
        <source>Split archive files with size (KBytes)</source>
        <translation>Размер частей архивных файлов (КБ)</translation>
    </message>
    <message>
        <source>Split archive files with this size</source>
        <translation>Делить архивные файлы на части такого размера</translation>
    </message>
    <message>
        <source>Keep the undo journals of synchronizations (days)</source>
        <translation>Срок хранения журналов синхронизаций (дней)</translation>
    </message>
    <message>
        <source>Synchronize:</source>
        <translation>Синхронизация:</translation>
    </message>
    <message>
        <source>From the source to the destination</source>
        <translation>Из источника в назначение</translation>
    </message>
    <message>
        <source>Both ways</source>
        <translation>В обе стороны</translation>
    </message>
    <message>
        <source>Both ways: every contact of either directory is listed, and each directory gets the messages it lacks</source>
        <translation>В обе стороны: в списке все контакты обеих папок, и каждая папка получает недостающие ей сообщения</translation>
    </message>
    <message>
        <source>Journals older than this go after each synchronization; the last synchronization of each directory can always be undone</source>
        <translation>Более старые журналы удаляются после каждой синхронизации; последнюю синхронизацию каждой папки всегда можно отменить</translation>
    </message>
    <message>
        <source>Create Archives folder automatically</source>
        <translation>Автоматически создавать папку архивов</translation>
    </message>
    <message>
        <source>Create Archives folder automatically|If not checked then it will consider to use or not on folder exists</source>
        <translation>Автоматически создавать папку архивов|Если флажок снят, архивы используются, только если папка уже существует</translation>
    </message>
    <message>
        <source>Date/Time conversion settings</source>
        <translation>Преобразование даты и времени</translation>
    </message>
    <message>
        <source>Current system time zone and bias:</source>
        <translation>Часовой пояс системы и смещение:</translation>
    </message>
    <message>
        <source>Last seen on this computer</source>
        <translation>Последнее значение, полученное на этом компьютере</translation>
    </message>
    <message>
        <source>%s (GMT%s)</source>
        <extracomment>The zone&apos;s name, then its offset such as &quot;+03:00&quot;.</extracomment>
        <translation>%s (GMT%s)</translation>
    </message>
    <message>
        <source>PDA device time zone offset:</source>
        <translation>Смещение часового пояса PDA:</translation>
    </message>
    <message>
        <source>PDA timezone offset|Time offset of timezone set on your PDA device</source>
        <translation>Смещение часового пояса PDA|Смещение часового пояса, заданного на вашем устройстве PDA</translation>
    </message>
    <message>
        <source>GMT</source>
        <translation>GMT</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Обновить</translation>
    </message>
    <message>
        <source>Re-read from system</source>
        <translation>Заново получить из системы</translation>
    </message>
    <message>
        <source>Make permanent (do not update to system on each start)</source>
        <translation>Запомнить (не брать из системы при каждом запуске)</translation>
    </message>
    <message>
        <source>Store value for future use vs updating on each program start</source>
        <translation>Сохранить значение, а не обновлять его из системы при каждом запуске программы</translation>
    </message>
    <message>
        <source>Date offset of source ZMT PDA:</source>
        <translation>Сдвиг дат ZMT PDA в источнике:</translation>
    </message>
    <message>
        <source>PDA&apos;s Date offset|This value will be added to all PDA&apos;s dates</source>
        <translation>Сдвиг дат PDA|Это значение прибавляется ко всем датам PDA</translation>
    </message>
    <message>
        <source>Spam detection conditions</source>
        <translation>Условия распознавания спама</translation>
    </message>
    <message>
        <source>Incoming messages, min (0-not used):</source>
        <translation>Мин. входящих сообщений (0 — не учитывать):</translation>
    </message>
    <message>
        <source>Minimal count of incoming messages</source>
        <translation>Минимальное число входящих сообщений</translation>
    </message>
    <message>
        <source>Outgoing messages, min (0-not used):</source>
        <translation>Мин. исходящих сообщений (0 — не учитывать):</translation>
    </message>
    <message>
        <source>Minimal count of outgoing messages</source>
        <translation>Минимальное число исходящих сообщений</translation>
    </message>
    <message>
        <source>Merge mode</source>
        <translation>Режим слияния</translation>
    </message>
    <message>
        <source>Sequental parsing with the original order of messages</source>
        <translation>Последовательный разбор с исходным порядком сообщений</translation>
    </message>
    <message>
        <source>Sort both files with timestamps, then kill duplicates</source>
        <translation>Сортировка обоих файлов по времени, затем удаление дубликатов</translation>
    </message>
    <message>
        <source>&quot;Smart&quot; mode. Look for groups, then merge groups separately</source>
        <translation>«Умный» режим: поиск групп, затем слияние каждой группы отдельно</translation>
    </message>
    <message>
        <source>Ignore spaces while comparing messages</source>
        <translation>Не учитывать пробелы при сравнении сообщений</translation>
    </message>
    <message>
        <source>Consider two messages are equal if they differ with spaces only</source>
        <translation>Считать сообщения одинаковыми, если они различаются только пробелами</translation>
    </message>
    <message>
        <source>Correct CR/LF pairs</source>
        <translation>Исправлять пары CR/LF</translation>
    </message>
    <message>
        <source>Correct CR/LF pairs in message text</source>
        <translation>Исправлять пары CR/LF в тексте сообщений</translation>
    </message>
    <message>
        <source>Settings changed. You need to restart Analyse.</source>
        <translation>Настройки изменены. Нужно повторить анализ.</translation>
    </message>
    <message>
        <source>File version</source>
        <translation>Версия файлов</translation>
    </message>
    <message>
        <source>File version of new source histories</source>
        <translation>Версия новых файлов истории источника</translation>
    </message>
    <message>
        <source>Select default file version for creating new history files in output directory</source>
        <translation>Выберите версию файлов по умолчанию для создания новых файлов истории в папке назначения</translation>
    </message>
    <message>
        <source>Default file version for output</source>
        <translation>Версия файлов по умолчанию для записи</translation>
    </message>
    <message>
        <source>Usage: vimosync-cli dump [--json] [--archives] FILE</source>
        <translation>Использование: vimosync-cli dump [--json] [--archives] FILE</translation>
    </message>
    <message>
        <source>dump: unknown option %s</source>
        <translation>dump: неизвестный параметр %s</translation>
    </message>
    <message>
        <source>history file not found: %s</source>
        <translation>файл истории не найден: %s</translation>
    </message>
    <message>
        <source>File:         %s</source>
        <translation>Файл:         %s</translation>
    </message>
    <message>
        <source>UIN:          %s</source>
        <translation>UIN:          %s</translation>
    </message>
    <message>
        <source>Contact nick: %s</source>
        <translation>Ник контакта: %s</translation>
    </message>
    <message>
        <source>Version:      %d %s</source>
        <translation>Версия:       %d %s</translation>
    </message>
    <message>
        <source>Scrambled:    %d</source>
        <translation>Шифрование:   %d</translation>
    </message>
    <message>
        <source>Valid:        %s</source>
        <translation>Корректен:    %s</translation>
    </message>
    <message>
        <source>Archives:     %s</source>
        <translation>Архивы:       %s</translation>
    </message>
    <message>
        <source>Messages:     %d</source>
        <translation>Сообщений:    %d</translation>
    </message>
    <message>
        <source>&lt;-</source>
        <translation>&lt;-</translation>
    </message>
    <message>
        <source>-&gt;</source>
        <translation>-&gt;</translation>
    </message>
    <message>
        <source>yes</source>
        <translation>да</translation>
    </message>
    <message>
        <source>no</source>
        <translation>нет</translation>
    </message>
    <message>
        <source>all read</source>
        <translation>прочитаны все</translation>
    </message>
    <message>
        <source>not all read (invalid or beyond a missing number)</source>
        <translation>прочитаны не все (повреждены или идут после пропущенного номера)</translation>
    </message>
    <message>
        <source>Usage: vimosync-cli analyse [--json] [--both] SOURCE_DIR DESTINATION_DIR</source>
        <translation>Использование: vimosync-cli analyse [--json] [--both] SOURCE_DIR DESTINATION_DIR</translation>
    </message>
    <message>
        <source>Usage: vimosync-cli sync [--yes] [--dry-run] [--no-journal] [--both] [--default-version N] [--nick NICK] SOURCE_DIR DESTINATION_DIR</source>
        <translation>Использование: vimosync-cli sync [--yes] [--dry-run] [--no-journal] [--both] [--default-version N] [--nick NICK] SOURCE_DIR DESTINATION_DIR</translation>
    </message>
    <message>
        <source>Usage: vimosync-cli undo [--list] [--yes] DESTINATION_DIR [RUN]</source>
        <translation>Использование: vimosync-cli undo [--list] [--yes] DESTINATION_DIR [RUN]</translation>
    </message>
    <message>
        <source>nothing was written; add --no-journal to synchronize without a way to undo it</source>
        <translation>ничего не записано; чтобы синхронизировать без возможности отмены, добавьте --no-journal</translation>
    </message>
    <message>
        <source>undo asks for confirmation, but standard input is not a terminal: add --yes</source>
        <translation>undo запрашивает подтверждение, но стандартный ввод не является терминалом: добавьте --yes</translation>
    </message>
    <message>
        <source>%s  %s (%s ago, journal %s)  from %s  %d files  %s</source>
        <extracomment>Run name, start time, age, journal size, source folder, number of files, state.</extracomment>
        <translation>%s  %s (%s назад, журнал %s)  из %s  файлов: %d  %s</translation>
    </message>
    <message>
        <source>%d min</source>
        <extracomment>The time left in the progress bar, in whole minutes.</extracomment>
        <translation>%d мин</translation>
    </message>
    <message>
        <source>%d h</source>
        <translation>%d ч</translation>
    </message>
    <message numerus="yes">
        <source>%n days</source>
        <translation>
            <numerusform>%n день</numerusform>
            <numerusform>%n дня</numerusform>
            <numerusform>%n дней</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n bytes</source>
        <translation>
            <numerusform>%n байт</numerusform>
            <numerusform>%n байта</numerusform>
            <numerusform>%n байт</numerusform>
        </translation>
    </message>
    <message>
        <source>%d KB</source>
        <translation>%d КБ</translation>
    </message>
    <message>
        <source>undone</source>
        <translation>отменена</translation>
    </message>
    <message>
        <source>undo interrupted: can be run again</source>
        <translation>отмена прервана: можно запустить снова</translation>
    </message>
    <message>
        <source>can be undone</source>
        <translation>можно отменить</translation>
    </message>
    <message>
        <source>interrupted run: can be undone</source>
        <translation>прервана: можно отменить</translation>
    </message>
    <message>
        <source>sync asks for confirmation, but standard input is not a terminal: add --yes (or --dry-run to see what would be written)</source>
        <translation>sync запрашивает подтверждение, но стандартный ввод не является терминалом: добавьте --yes (или --dry-run, чтобы увидеть, что будет записано)</translation>
    </message>
    <message>
        <source>synchronization not run</source>
        <translation>синхронизация не выполнена</translation>
    </message>
    <message>
        <source>no history files (*.zmt, *.txt) in %s</source>
        <translation>в %s нет файлов истории (*.zmt, *.txt)</translation>
    </message>
    <message>
        <source>Nothing to synchronize: no checked contact.</source>
        <translation>Нечего синхронизировать: нет отмеченных контактов.</translation>
    </message>
    <message>
        <source>Dry run: nothing is written.</source>
        <translation>Пробный запуск: ничего не записывается.</translation>
    </message>
    <message>
        <source>Synchronize? [y/N] </source>
        <translation>Синхронизировать? [y/N] </translation>
    </message>
    <message>
        <source>Undo? [y/N] </source>
        <translation>Отменить? [y/N] </translation>
    </message>
    <message>
        <source>Select default file version for creating new history files in source directory:</source>
        <translation>Выберите версию файлов по умолчанию для создания новых файлов истории в исходной папке:</translation>
    </message>
    <message>
        <source>Select default file version for creating new history files in output directory:</source>
        <translation>Выберите версию файлов по умолчанию для создания новых файлов истории в папке назначения:</translation>
    </message>
    <message>
        <source>Version [%d]: </source>
        <translation>Версия [%d]: </translation>
    </message>
    <message>
        <source>Source:      %s (Varyon: %s, archive folder: %s)</source>
        <extracomment>The folder, then &quot;yes&quot; or &quot;no&quot; twice.</extracomment>
        <translation>Источник:   %s (Varyon: %s, папка архивов: %s)</translation>
    </message>
    <message>
        <source>Destination: %s (Varyon: %s, archive folder: %s)</source>
        <extracomment>The folder, then &quot;yes&quot; or &quot;no&quot; twice.</extracomment>
        <translation>Назначение: %s (Varyon: %s, папка архивов: %s)</translation>
    </message>
    <message>
        <source>Default file version: %d %s</source>
        <extracomment>The version number, then its format label such as &quot;ZMTv2 (Varyon,encrypted)&quot;.</extracomment>
        <translation>Версия файлов по умолчанию: %d %s</translation>
    </message>
    <message>
        <source>Own nick: %s</source>
        <translation>Свой ник: %s</translation>
    </message>
    <message>
        <source>Contacts: %d,</source>
        <translation>Контактов: %d.</translation>
    </message>
    <message>
        <source>(cannot be read)</source>
        <translation>(не удаётся прочитать)</translation>
    </message>
    <message>
        <source>%s %s [%s] %d messages, %d new (UIN %s)</source>
        <extracomment>What was done (updated, created…), file name, format label, message count, new count, UIN.</extracomment>
        <translation>%s %s [%s] сообщений: %d, новых: %d (UIN %s)</translation>
    </message>
    <message>
        <source>updated</source>
        <translation>обновлён</translation>
    </message>
    <message>
        <source>created</source>
        <translation>создан</translation>
    </message>
    <message>
        <source>would update</source>
        <translation>будет обновлён</translation>
    </message>
    <message>
        <source>would create</source>
        <translation>будет создан</translation>
    </message>
    <message>
        <source>unchanged</source>
        <translation>без изменений</translation>
    </message>
    <message>
        <source>skipped</source>
        <translation>пропущен</translation>
    </message>
    <message numerus="yes">
        <source>%n contacts skipped; see the report</source>
        <translation>
            <numerusform>%n контакт пропущен; см. отчёт</numerusform>
            <numerusform>%n контакта пропущены; см. отчёт</numerusform>
            <numerusform>%n контактов пропущено; см. отчёт</numerusform>
        </translation>
    </message>
    <message>
        <source>Usage: vimosync-cli [--settings FILE] [--jobs N] COMMAND [OPTIONS] ARGS

Compares and synchronizes Vimo message histories.

Commands:
  dump [--json] [--archives] FILE
      One history file as the loader reads it.
  merge [--json] [--mode N] [--ignore-spaces] SOURCE_FILE DESTINATION_FILE
      The merged history of two files, differing messages marked &quot;+ &quot;.
  analyse [--json] [--both] SOURCE_DIR DESTINATION_DIR
      The analysis of two history directories (writes nothing). --both (or
      SyncDirection=1 in the settings) lists every contact of either side with
      the messages each side lacks: &quot;+N → / +M ←&quot;, N of the destination, M of
      the source.
  sync [--yes] [--dry-run] [--no-journal] [--both] [--default-version N]
       [--nick NICK] SOURCE_DIR DESTINATION_DIR
      Analysis, then synchronization of the checked contacts. Without --yes the
      confirmation is asked on the terminal; with no terminal sync refuses.
      --dry-run lists what would be written and writes nothing.
      --no-journal writes no journal of the run, so that it cannot be undone (when
      the journal cannot be written, sync refuses without it).
      --default-version N answers the question for contacts without a destination
      file (0 text, 1-3 binary); without it the terminal is asked, or, with no
      terminal, the most frequent destination version is kept.
      --nick NICK sets the own nick; without it the nick is detected from text
      histories, and asked on the terminal when a non-Varyon destination needs it.
      --both writes each side that lacks messages, so that both directories end
      with the whole history; new source files take the source&apos;s most frequent
      version (or --default-version N). One journal covers both directories.
  undo [--list] [--yes] DESTINATION_DIR [RUN]
      Undoes the last synchronization into the directory (or the run named RUN):
      the files it created go to the trash, the files it replaced or removed get
      their old content back from the trash. Files changed since are left alone
      and named. --list lists the runs with a journal, their age and size.
      Without --yes the confirmation is asked on the terminal; with no terminal
      undo refuses. Journals older than JournalDays (30) days are removed after
      each sync, except the newest run of each destination.

Options:
  --settings FILE  settings file to read (default: the one beside vimosync)
  --jobs N         contacts analysed and synchronized at once (default: one per
                   processor core)
  -h, --help       this text
  --version        the version
</source>
        <translation>Использование: vimosync-cli [--settings FILE] [--jobs N] COMMAND [OPTIONS] ARGS

Сравнивает и синхронизирует истории сообщений Vimo.

Команды:
  dump [--json] [--archives] FILE
      Один файл истории в том виде, в каком его читает загрузчик.
  merge [--json] [--mode N] [--ignore-spaces] SOURCE_FILE DESTINATION_FILE
      Объединённая история двух файлов; различающиеся сообщения помечены &quot;+ &quot;.
  analyse [--json] [--both] SOURCE_DIR DESTINATION_DIR
      Анализ двух папок с историями (ничего не записывает). --both (или
      SyncDirection=1 в настройках) выводит все контакты обеих сторон вместе
      с сообщениями, которых недостаёт каждой из них: &quot;+N → / +M ←&quot;, где N —
      сообщения для назначения, M — для источника.
  sync [--yes] [--dry-run] [--no-journal] [--both] [--default-version N]
       [--nick NICK] SOURCE_DIR DESTINATION_DIR
      Анализ, затем синхронизация отмеченных контактов. Без --yes подтверждение
      запрашивается в терминале, а без терминала sync не выполняется.
      --dry-run выводит то, что было бы записано, и ничего не записывает.
      --no-journal не пишет журнал, и запуск нельзя будет отменить (если журнал
      не удаётся записать, sync без этого параметра не выполняется).
      --default-version N отвечает на вопрос о версии для контактов без файла
      в назначении (0 — текстовый, 1-3 — двоичный); без него вопрос задаётся
      в терминале, а без терминала берётся самая частая версия назначения.
      --nick NICK задаёт свой ник; без него ник берётся из текстовых историй,
      а если он нужен назначению не в формате Varyon, запрашивается в терминале.
      --both пишет в каждую сторону недостающие ей сообщения, и в обеих папках
      оказывается вся история; новые файлы источника получают его самую частую
      версию (или --default-version N). Один журнал на обе папки.
  undo [--list] [--yes] DESTINATION_DIR [RUN]
      Отменяет последнюю синхронизацию в эту папку (или запуск RUN): созданные
      ею файлы отправляются в корзину, а заменённым или удалённым файлам
      возвращается прежнее содержимое из корзины. Изменённые после неё файлы не
      трогаются и перечисляются. --list выводит запуски с журналом, их возраст и
      размер. Без --yes подтверждение запрашивается в терминале; без терминала
      undo не выполняется. Журналы старше JournalDays (30) дней удаляются после
      каждой синхронизации, кроме последнего запуска в каждую папку назначения.

Параметры:
  --settings FILE  файл настроек (по умолчанию — тот, что рядом с vimosync)
  --jobs N         сколько контактов анализировать и синхронизировать сразу
                   (по умолчанию — по одному на ядро процессора)
  -h, --help       эта справка
  --version        версия программы
</translation>
    </message>
    <message>
        <source>--settings needs a file name</source>
        <translation>для --settings нужно имя файла</translation>
    </message>
    <message>
        <source>--jobs needs a number of 1 or more</source>
        <translation>для --jobs нужно число не меньше 1</translation>
    </message>
    <message>
        <source>settings file not found: %s</source>
        <translation>файл настроек не найден: %s</translation>
    </message>
    <message>
        <source>unknown command %s</source>
        <translation>неизвестная команда %s</translation>
    </message>
    <message>
        <source>--default-version needs 0, 1, 2 or 3</source>
        <translation>для --default-version нужно значение 0, 1, 2 или 3</translation>
    </message>
    <message>
        <source>--nick needs a nick</source>
        <translation>для --nick нужен ник</translation>
    </message>
    <message>
        <source>Usage: vimosync-cli merge [--json] [--mode N] [--ignore-spaces] SOURCE_FILE DESTINATION_FILE</source>
        <translation>Использование: vimosync-cli merge [--json] [--mode N] [--ignore-spaces] SOURCE_FILE DESTINATION_FILE</translation>
    </message>
    <message>
        <source>--mode needs a number from 0 to 255</source>
        <translation>для --mode нужно число от 0 до 255</translation>
    </message>
    <message>
        <source>unknown option %s</source>
        <translation>неизвестный параметр %s</translation>
    </message>
    <message>
        <source>file not found: %s</source>
        <translation>файл не найден: %s</translation>
    </message>
    <message>
        <source>Invalid source file: %s</source>
        <translation>Неверный файл источника: %s</translation>
    </message>
    <message>
        <source>destination file %s could not be read whole; merging what was read</source>
        <translation>файл назначения %s прочитан не полностью; слияние выполняется по прочитанной части</translation>
    </message>
    <message>
        <source>%d messages; %d differences</source>
        <extracomment>Messages, then differences.</extracomment>
        <translation>сообщений: %d; различий: %d</translation>
    </message>
    <message>
        <source>Cannot move %s to the trash: %s</source>
        <translation>Не удаётся переместить %s в корзину: %s</translation>
    </message>
    <message>
        <source>Cannot move %s to the trash in %s: %s</source>
        <translation>Не удаётся переместить %s в корзину в папке %s: %s</translation>
    </message>
    <message>
        <source>Cannot write the trash record %s of %s: %s</source>
        <translation>Не удаётся записать сведения корзины %s для файла %s: %s</translation>
    </message>
    <message>
        <source>every name there is taken</source>
        <translation>все имена там уже заняты</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>это не обычный файл</translation>
    </message>
    <message>
        <source>Cannot keep the old content of %s: %s</source>
        <translation>Не удаётся сохранить прежнее содержимое %s: %s</translation>
    </message>
    <message>
        <source>File %s was changed by another program while it was being saved</source>
        <translation>Файл %s был изменён другой программой во время сохранения</translation>
    </message>
    <message>
        <source>Cannot write folder %s to the disk: %s</source>
        <translation>Не удаётся записать папку %s на диск: %s</translation>
    </message>
    <message>
        <source>Varyon mode: Source=%d; Destination=%d</source>
        <translation>Режим Varyon: источник=%d; назначение=%d</translation>
    </message>
    <message>
        <source>Current PDA time offset: %s</source>
        <translation>Текущее смещение времени PDA: %s</translation>
    </message>
    <message>
        <source>Current PDA date offset: %d</source>
        <translation>Текущее смещение даты PDA: %d</translation>
    </message>
    <message>
        <source>Current Nick is &quot;%s&quot;</source>
        <translation>Текущий ник: «%s»</translation>
    </message>
    <message>
        <source>%d s</source>
        <extracomment>The time left in the progress bar, in seconds.</extracomment>
        <translation>%d с</translation>
    </message>
    <message>
        <source>Language:</source>
        <translation>Язык:</translation>
    </message>
    <message>
        <source>System</source>
        <extracomment>The language item that follows the desktop&apos;s language.</extracomment>
        <translation>Системный</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>The language of the program; it changes when the program starts again</source>
        <translation>Язык программы; меняется при следующем запуске программы</translation>
    </message>
    <message>
        <source>The new language is used from the next start of the program.</source>
        <translation>Новый язык будет использоваться со следующего запуска программы.</translation>
    </message>
    <message>
        <source>&lt;My Nick&gt;</source>
        <translation>&lt;Мой ник&gt;</translation>
    </message>
</context>
</TS>
