<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>QObject</name>
    <message>
        <source>You have the latest version of the Corvantis Software.</source>
        <translation>Sie haben die neueste Version der Corvantis Software.</translation>
    </message>
    <message>
        <source>Ready To Download</source>
        <translation>Bereit zum Herunterladen</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>Installiert</translation>
    </message>
    <message>
        <source>Update mode [%1] is unknown.</source>
        <translation>Update-Modus [%1] ist unbekannt.</translation>
    </message>
</context>
</TS>
