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
</context>
</TS>
