<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>ptcdrop</name>
    <message id="Directory">
        <source>Directory</source>
        <translation>Folders cannot be converted. Drop files only; nothing was converted.</translation>
    </message>
    <message id="Resource">
        <source>Resource</source>
        <translation>The container holds a resource of type “%@”, which cannot be converted.</translation>
    </message>
    <message id="Save">
        <source>Save</source>
        <translation>The file “%@” could not be saved.</translation>
    </message>
    <message id="Unzip">
        <source>Unzip</source>
        <translation>The payload of “%@” could not be decompressed.</translation>
    </message>
    <message id="Read">
        <source>Read</source>
        <translation>The file “%@” could not be read; it was not converted.</translation>
    </message>
    <message id="Name">
        <source>Name</source>
        <translation>The name “%@” is not valid UTF-8 text (the bytes shown as \xNN), so it could name another file; nothing was converted.</translation>
    </message>
    <message id="Trailing">
        <source>Trailing</source>
        <translation>The payload of “%@” goes on after its compressed data with bytes that are not compressed data; the file was saved without them.</translation>
    </message>
    <message id="JoinKind">
        <source>JoinKind</source>
        <translation>“%@” is not a GRP container, so its series cannot be joined; nothing was written.</translation>
    </message>
    <message id="JoinMissing">
        <source>JoinMissing</source>
        <translation>The piece “%@” of the series is missing; nothing was joined.</translation>
    </message>
    <message id="JoinDamaged">
        <source>JoinDamaged</source>
        <translation>The gzip data of the series is damaged at the piece “%@”, or that piece does not belong to it; nothing was joined.</translation>
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
        <translation>Drop files on the brown area: plain files are packed into .ptc containers, containers are unpacked.</translation>
    </message>
    <message id="window.gzip">
        <source>Gzip when packing, gunzip when unpacking</source>
        <translation>Gzip when packing, gunzip when unpacking</translation>
    </message>
    <message id="window.progress.title">
        <source>Converting – ptcdrop</source>
        <translation>Converting – ptcdrop</translation>
    </message>
    <message id="window.progress.file">
        <source>File %1 of %2: %3</source>
        <translation>File %1 of %2: %3</translation>
    </message>
    <message id="window.progress.detail">
        <source>%1 of %2 read, %3 pieces written</source>
        <translation>%1 of %2 read, %3 pieces written</translation>
    </message>
    <message id="window.progress.stopping">
        <source>Stopping…</source>
        <translation>Stopping…</translation>
    </message>
    <message id="window.cancel">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="window.status.done">
        <source>Done: %1 files converted, %2 outputs written, %3 problems shown.</source>
        <translation>Done: %1 files converted, %2 outputs written, %3 problems shown.</translation>
    </message>
    <message id="window.status.cancelled">
        <source>Cancelled: %1 files converted, %2 outputs written, %3 problems shown.</source>
        <translation>Cancelled: %1 files converted, %2 outputs written, %3 problems shown.</translation>
    </message>
    <message id="window.menu.file">
        <source>&amp;File</source>
        <translation>&amp;File</translation>
    </message>
    <message id="window.menu.quit">
        <source>&amp;Quit</source>
        <translation>&amp;Quit</translation>
    </message>
    <message id="window.menu.help">
        <source>&amp;Help</source>
        <translation>&amp;Help</translation>
    </message>
    <message id="window.menu.about">
        <source>&amp;About ptcdrop</source>
        <translation>&amp;About ptcdrop</translation>
    </message>
    <message id="window.about.text">
        <source>ptcdrop %1
Converts between plain files and PTC containers. Drop files on the brown area; folders are refused.
Free software under the MIT licence.</source>
        <translation>ptcdrop %1
Converts between plain files and PTC containers. Drop files on the brown area; folders are refused.
Free software under the MIT licence.</translation>
    </message>
    <message id="window.menu.join">
        <source>&amp;Join Pieces…</source>
        <translation>&amp;Join Pieces…</translation>
    </message>
    <message id="window.join.title">
        <source>Join Pieces</source>
        <translation>Join Pieces</translation>
    </message>
    <message id="window.join.filter">
        <source>PTC pieces (*.ptc *.PTC)</source>
        <translation>PTC pieces (*.ptc *.PTC)</translation>
    </message>
</context>
</TS>
