<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja">
<context>
    <name>pindle::AppDelegate</name>
    <message>
        <source>Quit Pindle</source>
        <translation>Pindle を終了</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>編集</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>元に戻す</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>やり直す</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>切り取り</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>コピー</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>貼り付け</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>すべて選択</translation>
    </message>
    <message>
        <source>Reveal Notes in Finder</source>
        <translation>ファイルマネージャーでメモを表示</translation>
    </message>
</context>
<context>
    <name>pindle::DotButton</name>
    <message>
        <source>Note %1: %2</source>
        <translation>メモ %1: %2</translation>
    </message>
    <message>
        <source>Note %1 (empty)</source>
        <translation>メモ %1（空）</translation>
    </message>
</context>
<context>
    <name>pindle::Launch</name>
    <message>
        <source>unknown option %1 (pindle --help lists the options)</source>
        <translation>不明なオプション %1 (オプションの一覧は pindle --help で表示)</translation>
    </message>
    <message>
        <source>cannot start without a graphical session: neither DISPLAY nor WAYLAND_DISPLAY is set</source>
        <translation>グラフィカルセッションがないため起動できません: DISPLAY も WAYLAND_DISPLAY も設定されていません</translation>
    </message>
    <message>
        <source>cannot start without a graphical session: the display %1 could not be opened</source>
        <translation>グラフィカルセッションがないため起動できません: ディスプレイ %1 を開けませんでした</translation>
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
        <translation>使い方: pindle [--show-panel]

Pindle はシステムトレイに常駐する、プレーンテキストのクイックメモです。アイコ
ンをクリックするか、どのアプリケーションからでも Ctrl+Shift+Y を押すとメモのパ
ネルが開きます。ユーザーごとに 1 つだけ実行されます。

  --show-panel  起動時にパネルを開く (すでに実行中ならそちらで開く)
  -h, --help    このヘルプを表示して終了
  --version     バージョンを表示して終了

メモの保存先: %1</translation>
    </message>
</context>
<context>
    <name>pindle::NoteHeader</name>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>削除</translation>
    </message>
    <message>
        <source>Delete note</source>
        <translation>メモを削除</translation>
    </message>
    <message>
        <source>Delete this note?</source>
        <translation>このメモを削除しますか？</translation>
    </message>
</context>
<context>
    <name>pindle::NoteRail</name>
    <message>
        <source>New note</source>
        <translation>新しいメモ</translation>
    </message>
</context>
<context>
    <name>pindle::PanelView</name>
    <message>
        <source>Jot something down…</source>
        <translation>メモを入力…</translation>
    </message>
    <message>
        <source>Not saved — disk full</source>
        <translation>未保存 — ディスクがいっぱいです</translation>
    </message>
    <message>
        <source>Not saved — folder is read-only</source>
        <translation>未保存 — フォルダーは読み取り専用です</translation>
    </message>
    <message>
        <source>Not saved — the notes are too large</source>
        <translation>未保存 — メモが大きすぎます</translation>
    </message>
    <message>
        <source>Not saved — the notes file cannot be written</source>
        <translation>未保存 — メモのファイルに書き込めません</translation>
    </message>
</context>
<context>
    <name>pindle::PortalHotKeyService</name>
    <message>
        <source>Show or hide the Pindle panel</source>
        <translation>Pindle のパネルを表示または非表示</translation>
    </message>
</context>
</TS>
