<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>BoardDescription</name>
    <message>
        <source>Nothing lit.</source>
        <translation>Nichts leuchtet.</translation>
    </message>
    <message>
        <source>Green lit.</source>
        <translation>Grün leuchtet.</translation>
    </message>
    <message>
        <source>Red lit.</source>
        <translation>Rot leuchtet.</translation>
    </message>
    <message>
        <source>Blue lit.</source>
        <translation>Blau leuchtet.</translation>
    </message>
    <message>
        <source>Yellow lit.</source>
        <translation>Gelb leuchtet.</translation>
    </message>
    <message>
        <source>All four lit.</source>
        <translation>Alle vier leuchten.</translation>
    </message>
    <message>
        <source>Panel empty.</source>
        <translation>Anzeige leer.</translation>
    </message>
    <message>
        <source>Panel: %1</source>
        <translation>Anzeige: %1</translation>
    </message>
    <message>
        <source>Quado board</source>
        <translation>Quado-Spielbrett</translation>
    </message>
</context>
<context>
    <name>CAboutDlg</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>About Quado</source>
        <translation>Über Quado</translation>
    </message>
    <message>
        <source>Quado Version 1.0</source>
        <translation>Quado Version 1.0</translation>
    </message>
    <message>
        <source>Big-screen memory game board</source>
        <translation>Merkspiel für den großen Bildschirm</translation>
    </message>
</context>
<context>
    <name>CAdapterLink</name>
    <message>
        <source>No device selected</source>
        <translation>Kein Gerät ausgewählt</translation>
    </message>
    <message>
        <source>Error connecting to device</source>
        <translation>Fehler beim Verbinden mit dem Gerät</translation>
    </message>
    <message>
        <source>Error enabling UART, closing device</source>
        <translation>Fehler beim Einschalten des UART, das Gerät wird geschlossen</translation>
    </message>
    <message>
        <source>Error allocating buffers, closing device</source>
        <translation>Fehler beim Anlegen der Puffer, das Gerät wird geschlossen</translation>
    </message>
    <message>
        <source>The adapter list has changed: choose the adapter again</source>
        <translation>Die Adapterliste hat sich geändert: Bitte wählen Sie den Adapter erneut</translation>
    </message>
    <message>
        <source>&lt;no serial number&gt;</source>
        <translation>&lt;keine Seriennummer&gt;</translation>
    </message>
    <message>
        <source>NOT CONNECTED</source>
        <translation>NICHT VERBUNDEN</translation>
    </message>
    <message>
        <source>Adapter found without access: install Quado&apos;s udev rule, then re-plug it</source>
        <translation>Adapter ohne Zugriffsrecht gefunden: Installieren Sie Quados udev-Regel und stecken Sie ihn neu ein</translation>
    </message>
    <message>
        <source>Quado may not read and write the adapter&apos;s /dev/hidraw node.
Install the quado package, or copy 70-quado-dravik.rules into /etc/udev/rules.d
and run: sudo udevadm control --reload-rules
Then unplug the adapter and plug it in again.</source>
        <translation>Quado darf den /dev/hidraw-Knoten des Adapters nicht lesen und schreiben.
Installieren Sie das Paket quado, oder kopieren Sie 70-quado-dravik.rules nach /etc/udev/rules.d
und führen Sie aus: sudo udevadm control --reload-rules
Ziehen Sie den Adapter dann ab und stecken Sie ihn wieder ein.</translation>
    </message>
    <message>
        <source>CONNECTED</source>
        <translation>VERBUNDEN</translation>
    </message>
    <message>
        <source>&lt;UART Settings Err&gt; - </source>
        <translation>&lt;Fehler UART-Einstellungen&gt; - </translation>
    </message>
    <message>
        <source>No Parity</source>
        <translation>Keine Parität</translation>
    </message>
    <message>
        <source>Even Parity</source>
        <translation>Gerade Parität</translation>
    </message>
    <message>
        <source>Odd Parity</source>
        <translation>Ungerade Parität</translation>
    </message>
    <message>
        <source>Mark Parity</source>
        <translation>Mark-Parität</translation>
    </message>
    <message>
        <source>Space Parity</source>
        <translation>Space-Parität</translation>
    </message>
    <message>
        <source>&lt;Parity Err&gt;</source>
        <translation>&lt;Fehler Parität&gt;</translation>
    </message>
    <message>
        <source>No Flow Control</source>
        <translation>Keine Flusssteuerung</translation>
    </message>
    <message>
        <source>RTS / CTS Flow Control</source>
        <translation>RTS/CTS-Flusssteuerung</translation>
    </message>
    <message>
        <source>&lt;Flow Control Err&gt;</source>
        <translation>&lt;Fehler Flusssteuerung&gt;</translation>
    </message>
    <message>
        <source>1 Stop Bit</source>
        <translation>1 Stoppbit</translation>
    </message>
    <message>
        <source>1.5 Stop Bits</source>
        <translation>1,5 Stoppbits</translation>
    </message>
    <message>
        <source>2 Stop Bits</source>
        <translation>2 Stoppbits</translation>
    </message>
    <message>
        <source>&lt;Stop Bit Err&gt;</source>
        <translation>&lt;Fehler Stoppbits&gt;</translation>
    </message>
    <message>
        <source>%1 Data Bits</source>
        <translation>%1 Datenbits</translation>
    </message>
</context>
<context>
    <name>CClosedPage</name>
    <message>
        <source>Closed</source>
        <translation>Geschlossen</translation>
    </message>
    <message>
        <source>Open again today at %1</source>
        <translation>Wieder geöffnet heute um %1</translation>
    </message>
    <message>
        <source>Open again tomorrow at %1</source>
        <translation>Wieder geöffnet morgen um %1</translation>
    </message>
    <message>
        <source>Open again on %1 at %2</source>
        <translation>Wieder geöffnet am %1 um %2</translation>
    </message>
</context>
<context>
    <name>CFullScreenBar</name>
    <message>
        <source>Full Screen</source>
        <translation>Vollbild</translation>
    </message>
    <message>
        <source>Leave full screen (Esc)</source>
        <translation>Vollbild verlassen (Esc)</translation>
    </message>
</context>
<context>
    <name>CFullScreenNotice</name>
    <message>
        <source>Press Esc to leave full screen</source>
        <translation>Drücken Sie Esc, um das Vollbild zu verlassen</translation>
    </message>
</context>
<context>
    <name>CGamesTableModel</name>
    <message>
        <source>Start</source>
        <translation>Beginn</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Dauer</translation>
    </message>
    <message>
        <source>Outcome</source>
        <translation>Ergebnis</translation>
    </message>
    <message>
        <source>Ended by</source>
        <translation>Beendet durch</translation>
    </message>
    <message>
        <source>Level</source>
        <translation>Schwierigkeit</translation>
    </message>
    <message>
        <source>Of</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>Adapter</source>
        <translation>Adapter</translation>
    </message>
    <message>
        <source>Won</source>
        <translation>Gewonnen</translation>
    </message>
    <message>
        <source>Lost</source>
        <translation>Verloren</translation>
    </message>
    <message>
        <source>Timed out</source>
        <translation>Zeit überschritten</translation>
    </message>
    <message>
        <source>Abandoned</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>Congrat</source>
        <translation>Glückwunsch</translation>
    </message>
    <message>
        <source>Incorrect</source>
        <translation>Falsch</translation>
    </message>
    <message>
        <source>Timeout</source>
        <translation>Zeitlimit</translation>
    </message>
    <message>
        <source>Press button</source>
        <translation>Knopf gedrückt</translation>
    </message>
    <message>
        <source>New game</source>
        <translation>Neues Spiel</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Getrennt</translation>
    </message>
    <message>
        <source>Adapter lost</source>
        <translation>Adapter verloren</translation>
    </message>
    <message>
        <source>Quado closed</source>
        <translation>Quado beendet</translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Export Records...</source>
        <translation>Aufzeichnungen &amp;exportieren...</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Options</source>
        <translation>&amp;Optionen</translation>
    </message>
    <message>
        <source>&amp;Mute</source>
        <translation>&amp;Stumm</translation>
    </message>
    <message>
        <source>&amp;Fit to Screen</source>
        <translation>An &amp;Bildschirm anpassen</translation>
    </message>
    <message>
        <source>Connect &amp;Automatically</source>
        <translation>&amp;Automatisch verbinden</translation>
    </message>
    <message>
        <source>&amp;Keep Records</source>
        <translation>Aufzeichnungen &amp;führen</translation>
    </message>
    <message>
        <source>Show Records When &amp;Idle</source>
        <translation>Aufzeichnungen in Spiel&amp;pausen zeigen</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Full Screen</source>
        <translation>&amp;Vollbild</translation>
    </message>
    <message>
        <source>&amp;Scale Down</source>
        <translation>Ver&amp;kleinern</translation>
    </message>
    <message>
        <source>&amp;Show</source>
        <translation>&amp;Fenster</translation>
    </message>
    <message>
        <source>&amp;Dravik Driver</source>
        <translation>&amp;Dravik-Treiber</translation>
    </message>
    <message>
        <source>&amp;Manual Driver</source>
        <translation>&amp;Manueller Treiber</translation>
    </message>
    <message>
        <source>&amp;Records</source>
        <translation>&amp;Aufzeichnungen</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;About Quado...</source>
        <translation>&amp;Über Quado...</translation>
    </message>
    <message>
        <source>&amp;Language</source>
        <translation>Sp&amp;rache</translation>
    </message>
    <message>
        <source>Export Records</source>
        <translation>Aufzeichnungen exportieren</translation>
    </message>
    <message>
        <source>Records off: %1</source>
        <translation>Aufzeichnungen aus: %1</translation>
    </message>
    <message>
        <source>CSV files (*.csv);;All files (*)</source>
        <translation>CSV-Dateien (*.csv);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Records exported to %1</source>
        <translation>Aufzeichnungen nach %1 exportiert</translation>
    </message>
    <message>
        <source>The records could not be exported: %1</source>
        <translation>Die Aufzeichnungen konnten nicht exportiert werden: %1</translation>
    </message>
    <message>
        <source>Please disconnect the Dravik Driver device before using the manual driver</source>
        <translation>Bitte trennen Sie das Gerät im Dravik-Treiber, bevor Sie den manuellen Treiber benutzen</translation>
    </message>
    <message>
        <source>Manual Driver Disabled</source>
        <translation>Manueller Treiber gesperrt</translation>
    </message>
    <message>
        <source>&amp;Speak Texts</source>
        <translation>Texte &amp;vorlesen</translation>
    </message>
    <message>
        <source>&amp;Shapes on the Board</source>
        <translation>For&amp;men auf dem Spielbrett</translation>
    </message>
    <message>
        <source>The Records window is not available: %1</source>
        <translation>Das Fenster „Aufzeichnungen“ ist nicht verfügbar: %1</translation>
    </message>
    <message>
        <source>Quado Records</source>
        <translation>Quado-Aufzeichnungen</translation>
    </message>
</context>
<context>
    <name>CQtSpeechEngine</name>
    <message>
        <source>No speech engine is installed (speech-dispatcher or flite).</source>
        <translation>Keine Sprachausgabe installiert (speech-dispatcher oder flite).</translation>
    </message>
    <message>
        <source>This Quado was built without speech.</source>
        <translation>Dieses Quado wurde ohne Sprachausgabe gebaut.</translation>
    </message>
</context>
<context>
    <name>CQuadoApp</name>
    <message>
        <source>MQTT is off: %1</source>
        <translation>MQTT ist aus: %1</translation>
    </message>
    <message>
        <source>Quado</source>
        <translation>Quado</translation>
    </message>
</context>
<context>
    <name>CQuadoDravikDriver</name>
    <message>
        <source>Hide</source>
        <translation>Ausblenden</translation>
    </message>
    <message>
        <source>Dravik Select</source>
        <translation>Dravik-Auswahl</translation>
    </message>
    <message>
        <source>Received Data:</source>
        <translation>Empfangene Daten:</translation>
    </message>
    <message>
        <source>Clear Data</source>
        <translation>Daten löschen</translation>
    </message>
    <message>
        <source>Adapter present, no access (udev rule?)</source>
        <translation>Adapter vorhanden, kein Zugriff (udev-Regel?)</translation>
    </message>
    <message>
        <source>QUADO Dravik Driver</source>
        <translation>QUADO Dravik-Treiber</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Trennen</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Adapters</source>
        <translation>Adapterauswahl</translation>
    </message>
    <message>
        <source>Received data</source>
        <translation>Empfangene Daten</translation>
    </message>
</context>
<context>
    <name>CQuadoDriverDialog</name>
    <message>
        <source>Blue</source>
        <translation>Blau</translation>
    </message>
    <message>
        <source>Green</source>
        <translation>Grün</translation>
    </message>
    <message>
        <source>Red</source>
        <translation>Rot</translation>
    </message>
    <message>
        <source>Yellow</source>
        <translation>Gelb</translation>
    </message>
    <message>
        <source>QUADO Manual Driver</source>
        <translation>QUADO Manueller Treiber</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>CRecordsWindow</name>
    <message>
        <source>Games per hour</source>
        <translation>Spiele pro Stunde</translation>
    </message>
    <message>
        <source>Games by level reached</source>
        <translation>Spiele nach erreichter Schwierigkeit</translation>
    </message>
    <message>
        <source>Day:</source>
        <translation>Tag:</translation>
    </message>
    <message>
        <source>Today</source>
        <translation>Heute</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
    <message>
        <source>Games</source>
        <translation>Spiele</translation>
    </message>
    <message>
        <source>Won</source>
        <translation>Gewonnen</translation>
    </message>
    <message>
        <source>Best level</source>
        <translation>Höchste Schwierigkeit</translation>
    </message>
    <message>
        <source>Median length</source>
        <translation>Dauer (Median)</translation>
    </message>
    <message>
        <source>Cannot read the games of %1: %2</source>
        <translation>Die Spiele vom %1 können nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>Records are off: %1</source>
        <translation>Aufzeichnungen sind aus: %1</translation>
    </message>
    <message>
        <source>Records are off (Options &gt; Keep Records).</source>
        <translation>Aufzeichnungen sind aus (Optionen &gt; Aufzeichnungen führen).</translation>
    </message>
    <message>
        <source>Kept in %1</source>
        <translation>Gespeichert in %1</translation>
    </message>
    <message>
        <source>Quado Records</source>
        <translation>Quado-Aufzeichnungen</translation>
    </message>
    <message>
        <source>Day</source>
        <translation>Tag</translation>
    </message>
    <message>
        <source>Games of the day</source>
        <translation>Spiele des Tages</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>CSpeechOutput</name>
    <message>
        <source>No speech engine is installed.</source>
        <translation>Keine Sprachausgabe installiert.</translation>
    </message>
    <message>
        <source>The speech engine could not be loaded.</source>
        <translation>Die Sprachausgabe konnte nicht geladen werden.</translation>
    </message>
</context>
<context>
    <name>CSpeechWorker</name>
    <message>
        <source>no voices</source>
        <translation>keine Stimmen</translation>
    </message>
    <message>
        <source>No speech engine is installed.</source>
        <translation>Keine Sprachausgabe installiert.</translation>
    </message>
</context>
<context>
    <name>IdleScreen</name>
    <message>
        <source>Today  ·  Heute</source>
        <translation>Heute  ·  Today</translation>
    </message>
    <message>
        <source>game</source>
        <translation>Spiel</translation>
    </message>
    <message>
        <source>games</source>
        <translation>Spiele</translation>
    </message>
    <message>
        <source>best level</source>
        <translation>höchste Schwierigkeit</translation>
    </message>
    <message>
        <source>Press the button to play  ·  Drücken Sie den Knopf zum Spielen</source>
        <translation>Drücken Sie den Knopf zum Spielen  ·  Press the button to play</translation>
    </message>
</context>
<context>
    <name>IdleScreenOther</name>
    <message>
        <source>Spiel</source>
        <translation>game</translation>
    </message>
    <message>
        <source>Spiele</source>
        <translation>games</translation>
    </message>
    <message>
        <source>höchste Schwierigkeit</source>
        <translation>best level</translation>
    </message>
</context>
</TS>
