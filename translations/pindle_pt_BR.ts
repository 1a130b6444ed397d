<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_BR">
<context>
    <name>pindle::AppDelegate</name>
    <message>
        <source>Quit Pindle</source>
        <translation>Sair do Pindle</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Editar</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Desfazer</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Refazer</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>Recortar</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copiar</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Colar</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Selecionar tudo</translation>
    </message>
    <message>
        <source>Reveal Notes in Finder</source>
        <translation>Mostrar as notas no gerenciador de arquivos</translation>
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
        <translation>Nota %1 (vazia)</translation>
    </message>
</context>
<context>
    <name>pindle::Launch</name>
    <message>
        <source>unknown option %1 (pindle --help lists the options)</source>
        <translation>opção desconhecida %1 (pindle --help lista as opções)</translation>
    </message>
    <message>
        <source>cannot start without a graphical session: neither DISPLAY nor WAYLAND_DISPLAY is set</source>
        <translation>não é possível iniciar sem uma sessão gráfica: nem DISPLAY nem WAYLAND_DISPLAY está definida</translation>
    </message>
    <message>
        <source>cannot start without a graphical session: the display %1 could not be opened</source>
        <translation>não é possível iniciar sem uma sessão gráfica: não foi possível abrir a tela %1</translation>
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

O Pindle guarda notas rápidas em texto simples na bandeja do sistema. Um
clique no ícone, ou Ctrl+Shift+Y em qualquer aplicativo, abre o painel de
notas. Cada usuário roda uma única cópia.

  --show-panel  abre o painel ao iniciar, ou na cópia que já está rodando
  -h, --help    mostra esta ajuda e sai
  --version     mostra a versão e sai

As notas são salvas em %1</translation>
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
        <translation>Excluir</translation>
    </message>
    <message>
        <source>Delete note</source>
        <translation>Excluir nota</translation>
    </message>
    <message>
        <source>Delete this note?</source>
        <translation>Excluir esta nota?</translation>
    </message>
</context>
<context>
    <name>pindle::NoteRail</name>
    <message>
        <source>New note</source>
        <translation>Nova nota</translation>
    </message>
</context>
<context>
    <name>pindle::PanelView</name>
    <message>
        <source>Jot something down…</source>
        <translation>Anote alguma coisa…</translation>
    </message>
    <message>
        <source>Not saved — disk full</source>
        <translation>Não salvo — disco cheio</translation>
    </message>
    <message>
        <source>Not saved — folder is read-only</source>
        <translation>Não salvo — pasta somente leitura</translation>
    </message>
    <message>
        <source>Not saved — the notes are too large</source>
        <translation>Não salvo — as notas são grandes demais</translation>
    </message>
    <message>
        <source>Not saved — the notes file cannot be written</source>
        <translation>Não salvo — não é possível gravar o arquivo de notas</translation>
    </message>
</context>
<context>
    <name>pindle::PortalHotKeyService</name>
    <message>
        <source>Show or hide the Pindle panel</source>
        <translation>Mostrar ou ocultar o painel do Pindle</translation>
    </message>
</context>
</TS>
