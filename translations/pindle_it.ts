<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it">
<context>
    <name>pindle::AppDelegate</name>
    <message>
        <source>Quit Pindle</source>
        <translation>Esci da Pindle</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Modifica</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Annulla</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Ripeti</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>Taglia</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copia</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Incolla</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Seleziona tutto</translation>
    </message>
    <message>
        <source>Reveal Notes in Finder</source>
        <translation>Mostra le note nel gestore di file</translation>
    </message>
</context>
<context>
    <name>pindle::DotButton</name>
    <message>
        <source>Note %1: %2</source>
        <translation>Nota %1: %2</translation>
    </message>
    <message>
        <source>Note %1 (empty)</source>
        <translation>Nota %1 (vuota)</translation>
    </message>
</context>
<context>
    <name>pindle::Launch</name>
    <message>
        <source>unknown option %1 (pindle --help lists the options)</source>
        <translation>opzione sconosciuta %1 (pindle --help elenca le opzioni)</translation>
    </message>
    <message>
        <source>cannot start without a graphical session: neither DISPLAY nor WAYLAND_DISPLAY is set</source>
        <translation>impossibile avviare senza una sessione grafica: né DISPLAY né WAYLAND_DISPLAY sono impostate</translation>
    </message>
    <message>
        <source>cannot start without a graphical session: the display %1 could not be opened</source>
        <translation>impossibile avviare senza una sessione grafica: il display %1 non può essere aperto</translation>
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
        <translation>Uso: pindle [--show-panel]

Pindle tiene note veloci in testo semplice nell’area di notifica. Un clic
sulla sua icona, o Ctrl+Maiusc+Y da qualsiasi applicazione, apre il pannello
delle note. Per ogni utente è in esecuzione una sola copia.

  --show-panel  apre il pannello all’avvio, o nella copia già in esecuzione
  -h, --help    mostra questo aiuto ed esce
  --version     mostra la versione ed esce

Le note sono salvate in %1</translation>
    </message>
</context>
<context>
    <name>pindle::NoteHeader</name>
    <message>
        <source>Cancel</source>
        <translation>Annulla</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Elimina</translation>
    </message>
    <message>
        <source>Delete note</source>
        <translation>Elimina nota</translation>
    </message>
    <message>
        <source>Delete this note?</source>
        <translation>Eliminare questa nota?</translation>
    </message>
</context>
<context>
    <name>pindle::NoteRail</name>
    <message>
        <source>New note</source>
        <translation>Nuova nota</translation>
    </message>
</context>
<context>
    <name>pindle::PanelView</name>
    <message>
        <source>Jot something down…</source>
        <translation>Annota qualcosa…</translation>
    </message>
    <message>
        <source>Not saved — disk full</source>
        <translation>Non salvato — disco pieno</translation>
    </message>
    <message>
        <source>Not saved — folder is read-only</source>
        <translation>Non salvato — cartella di sola lettura</translation>
    </message>
    <message>
        <source>Not saved — the notes are too large</source>
        <translation>Non salvato — le note sono troppo grandi</translation>
    </message>
    <message>
        <source>Not saved — the notes file cannot be written</source>
        <translation>Non salvato — impossibile scrivere il file delle note</translation>
    </message>
</context>
<context>
    <name>pindle::PortalHotKeyService</name>
    <message>
        <source>Show or hide the Pindle panel</source>
        <translation>Mostra o nascondi il pannello di Pindle</translation>
    </message>
</context>
</TS>
