<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>pindle::AppDelegate</name>
    <message>
        <source>Quit Pindle</source>
        <translation>Salir de Pindle</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Editar</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Deshacer</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Rehacer</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>Cortar</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copiar</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Pegar</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Seleccionar todo</translation>
    </message>
    <message>
        <source>Reveal Notes in Finder</source>
        <translation>Mostrar las notas en el gestor de archivos</translation>
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
        <translation>Nota %1 (vacía)</translation>
    </message>
</context>
<context>
    <name>pindle::Launch</name>
    <message>
        <source>unknown option %1 (pindle --help lists the options)</source>
        <translation>opción desconocida %1 (pindle --help muestra las opciones)</translation>
    </message>
    <message>
        <source>cannot start without a graphical session: neither DISPLAY nor WAYLAND_DISPLAY is set</source>
        <translation>no se puede iniciar sin una sesión gráfica: no está definida ni DISPLAY ni WAYLAND_DISPLAY</translation>
    </message>
    <message>
        <source>cannot start without a graphical session: the display %1 could not be opened</source>
        <translation>no se puede iniciar sin una sesión gráfica: no se pudo abrir la pantalla %1</translation>
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

Pindle guarda notas rápidas en texto plano en la bandeja del sistema. Un clic
en su icono, o Ctrl+Mayús+Y desde cualquier aplicación, abre el panel de
notas. Cada usuario ejecuta una sola copia.

  --show-panel  abrir el panel al iniciar, o en la copia que ya está en marcha
  -h, --help    mostrar esta ayuda y salir
  --version     mostrar la versión y salir

Las notas se guardan en %1</translation>
    </message>
</context>
<context>
    <name>pindle::NoteHeader</name>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Eliminar</translation>
    </message>
    <message>
        <source>Delete note</source>
        <translation>Eliminar nota</translation>
    </message>
    <message>
        <source>Delete this note?</source>
        <translation>¿Eliminar esta nota?</translation>
    </message>
</context>
<context>
    <name>pindle::NoteRail</name>
    <message>
        <source>New note</source>
        <translation>Nota nueva</translation>
    </message>
</context>
<context>
    <name>pindle::PanelView</name>
    <message>
        <source>Jot something down…</source>
        <translation>Anota algo…</translation>
    </message>
    <message>
        <source>Not saved — disk full</source>
        <translation>No guardado — disco lleno</translation>
    </message>
    <message>
        <source>Not saved — folder is read-only</source>
        <translation>No guardado — carpeta de solo lectura</translation>
    </message>
    <message>
        <source>Not saved — the notes are too large</source>
        <translation>No guardado — las notas son demasiado grandes</translation>
    </message>
    <message>
        <source>Not saved — the notes file cannot be written</source>
        <translation>No guardado — no se puede escribir el archivo</translation>
    </message>
</context>
<context>
    <name>pindle::PortalHotKeyService</name>
    <message>
        <source>Show or hide the Pindle panel</source>
        <translation>Mostrar u ocultar el panel de Pindle</translation>
    </message>
</context>
</TS>
