<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>pindle::AppDelegate</name>
    <message>
        <source>Quit Pindle</source>
        <translation>Quitter Pindle</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Édition</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Rétablir</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>Couper</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copier</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Coller</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Tout sélectionner</translation>
    </message>
    <message>
        <source>Reveal Notes in Finder</source>
        <translation>Afficher les notes dans le gestionnaire de fichiers</translation>
    </message>
</context>
<context>
    <name>pindle::DotButton</name>
    <message>
        <source>Note %1: %2</source>
        <translation>Note %1&#xa0;: %2</translation>
    </message>
    <message>
        <source>Note %1 (empty)</source>
        <translation>Note %1 (vide)</translation>
    </message>
</context>
<context>
    <name>pindle::Launch</name>
    <message>
        <source>unknown option %1 (pindle --help lists the options)</source>
        <translation>option inconnue %1 (pindle --help liste les options)</translation>
    </message>
    <message>
        <source>cannot start without a graphical session: neither DISPLAY nor WAYLAND_DISPLAY is set</source>
        <translation>impossible de démarrer sans session graphique&#xa0;: ni DISPLAY ni WAYLAND_DISPLAY n’est défini</translation>
    </message>
    <message>
        <source>cannot start without a graphical session: the display %1 could not be opened</source>
        <translation>impossible de démarrer sans session graphique&#xa0;: l’affichage %1 n’a pas pu être ouvert</translation>
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
        <translation>Utilisation&#xa0;: pindle [--show-panel]

Pindle garde des notes rapides en texte brut dans la zone de notification. Un
clic sur son icône, ou Ctrl+Maj+Y depuis n’importe quelle application, ouvre
le panneau des notes. Une seule copie tourne par utilisateur.

  --show-panel  ouvrir le panneau au démarrage, ou dans la copie déjà lancée
  -h, --help    afficher cette aide et quitter
  --version     afficher la version et quitter

Les notes sont enregistrées dans %1</translation>
    </message>
</context>
<context>
    <name>pindle::NoteHeader</name>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Supprimer</translation>
    </message>
    <message>
        <source>Delete note</source>
        <translation>Supprimer la note</translation>
    </message>
    <message>
        <source>Delete this note?</source>
        <translation>Supprimer cette note&#xa0;?</translation>
    </message>
</context>
<context>
    <name>pindle::NoteRail</name>
    <message>
        <source>New note</source>
        <translation>Nouvelle note</translation>
    </message>
</context>
<context>
    <name>pindle::PanelView</name>
    <message>
        <source>Jot something down…</source>
        <translation>Notez quelque chose…</translation>
    </message>
    <message>
        <source>Not saved — disk full</source>
        <translation>Non enregistré — disque plein</translation>
    </message>
    <message>
        <source>Not saved — folder is read-only</source>
        <translation>Non enregistré — dossier en lecture seule</translation>
    </message>
    <message>
        <source>Not saved — the notes are too large</source>
        <translation>Non enregistré — les notes sont trop volumineuses</translation>
    </message>
    <message>
        <source>Not saved — the notes file cannot be written</source>
        <translation>Non enregistré — écriture du fichier impossible</translation>
    </message>
</context>
<context>
    <name>pindle::PortalHotKeyService</name>
    <message>
        <source>Show or hide the Pindle panel</source>
        <translation>Afficher ou masquer le panneau de Pindle</translation>
    </message>
</context>
</TS>
