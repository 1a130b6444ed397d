<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>pindle::AppDelegate</name>
    <message>
        <source>Quit Pindle</source>
        <translation>退出 Pindle</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>编辑</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>撤销</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>重做</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>剪切</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>复制</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>粘贴</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>全选</translation>
    </message>
    <message>
        <source>Reveal Notes in Finder</source>
        <translation>在文件管理器中显示笔记</translation>
    </message>
</context>
<context>
    <name>pindle::DotButton</name>
    <message>
        <source>Note %1: %2</source>
        <translation>笔记 %1：%2</translation>
    </message>
    <message>
        <source>Note %1 (empty)</source>
        <translation>笔记 %1（空）</translation>
    </message>
</context>
<context>
    <name>pindle::Launch</name>
    <message>
        <source>unknown option %1 (pindle --help lists the options)</source>
        <translation>未知选项 %1（运行 pindle --help 查看可用选项）</translation>
    </message>
    <message>
        <source>cannot start without a graphical session: neither DISPLAY nor WAYLAND_DISPLAY is set</source>
        <translation>没有图形会话，无法启动：DISPLAY 和 WAYLAND_DISPLAY 均未设置</translation>
    </message>
    <message>
        <source>cannot start without a graphical session: the display %1 could not be opened</source>
        <translation>没有图形会话，无法启动：无法打开显示 %1</translation>
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
        <translation>用法：pindle [--show-panel]

Pindle 是常驻系统托盘的纯文本快速笔记。单击它的图标，或在任意应用程序中按
Ctrl+Shift+Y，即可打开笔记面板。每个用户只运行一个副本。

  --show-panel  启动时打开面板（若已在运行，则在运行中的副本里打开）
  -h, --help    显示此帮助并退出
  --version     显示版本并退出

笔记保存在 %1</translation>
    </message>
</context>
<context>
    <name>pindle::NoteHeader</name>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Delete note</source>
        <translation>删除笔记</translation>
    </message>
    <message>
        <source>Delete this note?</source>
        <translation>删除这条笔记？</translation>
    </message>
</context>
<context>
    <name>pindle::NoteRail</name>
    <message>
        <source>New note</source>
        <translation>新建笔记</translation>
    </message>
</context>
<context>
    <name>pindle::PanelView</name>
    <message>
        <source>Jot something down…</source>
        <translation>随手记点什么…</translation>
    </message>
    <message>
        <source>Not saved — disk full</source>
        <translation>未保存 — 磁盘已满</translation>
    </message>
    <message>
        <source>Not saved — folder is read-only</source>
        <translation>未保存 — 文件夹为只读</translation>
    </message>
    <message>
        <source>Not saved — the notes are too large</source>
        <translation>未保存 — 笔记过大</translation>
    </message>
    <message>
        <source>Not saved — the notes file cannot be written</source>
        <translation>未保存 — 无法写入笔记文件</translation>
    </message>
</context>
<context>
    <name>pindle::PortalHotKeyService</name>
    <message>
        <source>Show or hide the Pindle panel</source>
        <translation>显示或隐藏 Pindle 面板</translation>
    </message>
</context>
</TS>
