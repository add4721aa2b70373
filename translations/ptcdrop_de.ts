<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ptcdrop</name>
    <message id="Directory">
        <source>Directory</source>
        <translation>Ordner können nicht umgewandelt werden. Legen Sie nur Dateien ab; es wurde nichts umgewandelt.</translation>
    </message>
    <message id="Resource">
        <source>Resource</source>
        <translation>Der Container enthält eine Ressource vom Typ „%@“, die nicht umgewandelt werden kann.</translation>
    </message>
    <message id="Save">
        <source>Save</source>
        <translation>Die Datei „%@“ konnte nicht gespeichert werden.</translation>
    </message>
    <message id="Unzip">
        <source>Unzip</source>
        <translation>Die Nutzdaten von „%@“ konnten nicht dekomprimiert werden.</translation>
    </message>
    <message id="Read">
        <source>Read</source>
        <translation>Die Datei „%@“ konnte nicht gelesen werden; sie wurde nicht umgewandelt.</translation>
    </message>
    <message id="Name">
        <source>Name</source>
        <translation>Der Name „%@“ ist kein gültiger UTF-8-Text (die als \xNN gezeigten Bytes) und könnte eine andere Datei bezeichnen; es wurde nichts umgewandelt.</translation>
    </message>
    <message id="Trailing">
        <source>Trailing</source>
        <translation>Die Nutzdaten von „%@“ enthalten nach den komprimierten Daten weitere Bytes, die keine komprimierten Daten sind; die Datei wurde ohne sie gespeichert.</translation>
    </message>
    <message id="JoinKind">
        <source>JoinKind</source>
        <translation>„%@“ ist kein GRP-Container, daher kann seine Reihe nicht zusammengefügt werden; es wurde nichts geschrieben.</translation>
    </message>
    <message id="JoinMissing">
        <source>JoinMissing</source>
        <translation>Das Teilstück „%@“ der Reihe fehlt; es wurde nichts zusammengefügt.</translation>
    </message>
    <message id="JoinDamaged">
        <source>JoinDamaged</source>
        <translation>Die gzip-Daten der Reihe sind beim Teilstück „%@“ beschädigt, oder dieses Teilstück gehört nicht dazu; es wurde nichts zusammengefügt.</translation>
    </message>
</context>
<context>
    <name>window</name>
    <message id="window.title">
        <source>ptcdrop</source>
        <translation>ptcdrop</translation>
    </message>
    <message id="window.hint">
        <source>Drop files on the brown area: plain files are packed into .ptc containers, containers are unpacked.</source>
        <translation>Legen Sie Dateien auf der braunen Fläche ab: Einfache Dateien werden in .ptc-Container gepackt, Container werden entpackt.</translation>
    </message>
    <message id="window.gzip">
        <source>Gzip when packing, gunzip when unpacking</source>
        <translation>Beim Packen mit gzip komprimieren, beim Entpacken mit gunzip dekomprimieren</translation>
    </message>
    <message id="window.progress.title">
        <source>Converting – ptcdrop</source>
        <translation>Umwandlung – ptcdrop</translation>
    </message>
    <message id="window.progress.file">
        <source>File %1 of %2: %3</source>
        <translation>Datei %1 von %2: %3</translation>
    </message>
    <message id="window.progress.detail">
        <source>%1 of %2 read, %3 pieces written</source>
        <translation>%1 von %2 gelesen, %3 Teile geschrieben</translation>
    </message>
    <message id="window.progress.stopping">
        <source>Stopping…</source>
        <translation>Wird angehalten …</translation>
    </message>
    <message id="window.cancel">
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message id="window.status.done">
        <source>Done: %1 files converted, %2 outputs written, %3 problems shown.</source>
        <translation>Fertig: %1 Dateien umgewandelt, %2 Ausgaben geschrieben, %3 Probleme gemeldet.</translation>
    </message>
    <message id="window.status.cancelled">
        <source>Cancelled: %1 files converted, %2 outputs written, %3 problems shown.</source>
        <translation>Abgebrochen: %1 Dateien umgewandelt, %2 Ausgaben geschrieben, %3 Probleme gemeldet.</translation>
    </message>
    <message id="window.menu.file">
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message id="window.menu.quit">
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message id="window.menu.help">
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message id="window.menu.about">
        <source>&amp;About ptcdrop</source>
        <translation>Ü&amp;ber ptcdrop</translation>
    </message>
    <message id="window.about.text">
        <source>ptcdrop %1
Converts between plain files and PTC containers. Drop files on the brown area; folders are refused.
Free software under the MIT licence.</source>
        <translation>ptcdrop %1
Wandelt zwischen einfachen Dateien und PTC-Containern um. Legen Sie Dateien auf der braunen Fläche ab; Ordner werden abgelehnt.
Freie Software unter der MIT-Lizenz.</translation>
    </message>
    <message id="window.menu.join">
        <source>&amp;Join Pieces…</source>
        <translation>Teilstücke &amp;zusammenfügen…</translation>
    </message>
    <message id="window.join.title">
        <source>Join Pieces</source>
        <translation>Teilstücke zusammenfügen</translation>
    </message>
    <message id="window.join.filter">
        <source>PTC pieces (*.ptc *.PTC)</source>
        <translation>PTC-Teilstücke (*.ptc *.PTC)</translation>
    </message>
</context>
</TS>
