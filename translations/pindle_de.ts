<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>pindle::AppDelegate</name>
    <message>
        <source>Quit Pindle</source>
        <translation>Pindle beenden</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>Ausschneiden</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Einfügen</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Alles auswählen</translation>
    </message>
    <message>
        <source>Reveal Notes in Finder</source>
        <translation>Notizen im Dateimanager zeigen</translation>
    </message>
</context>
<context>
    <name>pindle::DotButton</name>
    <message>
        <source>Note %1: %2</source>
        <translation>Notiz %1: %2</translation>
    </message>
    <message>
        <source>Note %1 (empty)</source>
        <translation>Notiz %1 (leer)</translation>
    </message>
</context>
<context>
    <name>pindle::Launch</name>
    <message>
        <source>unknown option %1 (pindle --help lists the options)</source>
        <translation>unbekannte Option %1 (pindle --help zeigt die Optionen)</translation>
    </message>
    <message>
        <source>cannot start without a graphical session: neither DISPLAY nor WAYLAND_DISPLAY is set</source>
        <translation>Start ohne grafische Sitzung nicht möglich: weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt</translation>
    </message>
    <message>
        <source>cannot start without a graphical session: the display %1 could not be opened</source>
        <translation>Start ohne grafische Sitzung nicht möglich: die Anzeige %1 lässt sich nicht öffnen</translation>
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
        <translation>Aufruf: pindle [--show-panel]

Pindle hält schnelle Notizen als reinen Text im Infobereich bereit. Ein Klick
auf das Symbol oder Strg+Umschalt+Y in jeder Anwendung öffnet die Notizen. Pro
Benutzer läuft eine Instanz.

  --show-panel  die Notizen beim Start öffnen oder in der laufenden Instanz
  -h, --help    diese Hilfe zeigen und beenden
  --version     die Version zeigen und beenden

Die Notizen werden gespeichert in %1</translation>
    </message>
</context>
<context>
    <name>pindle::NoteHeader</name>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Delete note</source>
        <translation>Notiz löschen</translation>
    </message>
    <message>
        <source>Delete this note?</source>
        <translation>Diese Notiz löschen?</translation>
    </message>
</context>
<context>
    <name>pindle::NoteRail</name>
    <message>
        <source>New note</source>
        <translation>Neue Notiz</translation>
    </message>
</context>
<context>
    <name>pindle::PanelView</name>
    <message>
        <source>Jot something down…</source>
        <translation>Etwas notieren…</translation>
    </message>
    <message>
        <source>Not saved — disk full</source>
        <translation>Nicht gespeichert — Datenträger voll</translation>
    </message>
    <message>
        <source>Not saved — folder is read-only</source>
        <translation>Nicht gespeichert — Ordner ist schreibgeschützt</translation>
    </message>
    <message>
        <source>Not saved — the notes are too large</source>
        <translation>Nicht gespeichert — die Notizen sind zu groß</translation>
    </message>
    <message>
        <source>Not saved — the notes file cannot be written</source>
        <translation>Nicht gespeichert — Notizdatei nicht beschreibbar</translation>
    </message>
</context>
<context>
    <name>pindle::PortalHotKeyService</name>
    <message>
        <source>Show or hide the Pindle panel</source>
        <translation>Pindle-Notizen ein- oder ausblenden</translation>
    </message>
</context>
</TS>
