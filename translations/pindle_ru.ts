<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru">
<context>
    <name>pindle::AppDelegate</name>
    <message>
        <source>Quit Pindle</source>
        <translation>Выйти из Pindle</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Правка</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Отменить</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Повторить</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>Вырезать</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Копировать</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Вставить</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Выделить всё</translation>
    </message>
    <message>
        <source>Reveal Notes in Finder</source>
        <translation>Показать заметки в файловом менеджере</translation>
    </message>
</context>
<context>
    <name>pindle::DotButton</name>
    <message>
        <source>Note %1: %2</source>
        <translation>Заметка %1: %2</translation>
    </message>
    <message>
        <source>Note %1 (empty)</source>
        <translation>Заметка %1 (пустая)</translation>
    </message>
</context>
<context>
    <name>pindle::Launch</name>
    <message>
        <source>unknown option %1 (pindle --help lists the options)</source>
        <translation>неизвестный параметр %1 (список параметров: pindle --help)</translation>
    </message>
    <message>
        <source>cannot start without a graphical session: neither DISPLAY nor WAYLAND_DISPLAY is set</source>
        <translation>невозможно запустить без графического сеанса: не заданы ни DISPLAY, ни WAYLAND_DISPLAY</translation>
    </message>
    <message>
        <source>cannot start without a graphical session: the display %1 could not be opened</source>
        <translation>невозможно запустить без графического сеанса: не удалось открыть дисплей %1</translation>
    </message>
    <message>
        <source>Usage: pindle [--show-panel]

Pindle keeps quick plain-text notes in the system tray. A click on its icon,
or Ctrl+Shift+Y from any application, opens the notes panel. One copy runs per
user.

  --show-panel  open the panel at start, or in the copy that is already running
  -h, --help    show this help and exit
  --version     show the version and exit

The notes are saved in %1</source>
        <translation>Использование: pindle [--show-panel]

Pindle держит быстрые заметки простым текстом в системном лотке. Щелчок по
значку или Ctrl+Shift+Y в любом приложении открывает панель заметок. У каждого
пользователя работает только одна копия.

  --show-panel  открыть панель при запуске или в уже работающей копии
  -h, --help    показать эту справку и выйти
  --version     показать версию и выйти

Заметки хранятся в %1</translation>
    </message>
</context>
<context>
    <name>pindle::NoteHeader</name>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>Delete note</source>
        <translation>Удалить заметку</translation>
    </message>
    <message>
        <source>Delete this note?</source>
        <translation>Удалить эту заметку?</translation>
    </message>
</context>
<context>
    <name>pindle::NoteRail</name>
    <message>
        <source>New note</source>
        <translation>Новая заметка</translation>
    </message>
</context>
<context>
    <name>pindle::PanelView</name>
    <message>
        <source>Jot something down…</source>
        <translation>Запишите что-нибудь…</translation>
    </message>
    <message>
        <source>Not saved — disk full</source>
        <translation>Не сохранено — диск заполнен</translation>
    </message>
    <message>
        <source>Not saved — folder is read-only</source>
        <translation>Не сохранено — папка только для чтения</translation>
    </message>
    <message>
        <source>Not saved — the notes are too large</source>
        <translation>Не сохранено — заметки слишком велики</translation>
    </message>
    <message>
        <source>Not saved — the notes file cannot be written</source>
        <translation>Не сохранено — не удаётся записать файл</translation>
    </message>
</context>
<context>
    <name>pindle::PortalHotKeyService</name>
    <message>
        <source>Show or hide the Pindle panel</source>
        <translation>Показать или скрыть панель Pindle</translation>
    </message>
</context>
</TS>
