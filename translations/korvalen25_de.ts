<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>Accessibility</name>
    <message>
        <source>message type</source>
        <translation>Nachrichtentyp</translation>
    </message>
    <message>
        <source>What the control sends: a controller change, a note or a device function.</source>
        <translation>Was das Bedienelement sendet: eine Controller-Änderung, eine Note oder eine Gerätefunktion.</translation>
    </message>
    <message>
        <source>CC number</source>
        <translation>CC-Nummer</translation>
    </message>
    <message>
        <source>The controller number or device function it sends.</source>
        <translation>Die Controller-Nummer oder Gerätefunktion, die es sendet.</translation>
    </message>
    <message>
        <source>MIDI channel</source>
        <translation>MIDI-Kanal</translation>
    </message>
    <message>
        <source>The MIDI channel it sends on.</source>
        <translation>Der MIDI-Kanal, auf dem es sendet.</translation>
    </message>
    <message>
        <source>MIDI port</source>
        <translation>MIDI-Port</translation>
    </message>
    <message>
        <source>The MIDI port it sends to.</source>
        <translation>Der MIDI-Port, an den es sendet.</translation>
    </message>
    <message>
        <source>button mode</source>
        <translation>Tastenmodus</translation>
    </message>
    <message>
        <source>Toggle or momentary.</source>
        <translation>Umschalten oder kurzzeitig.</translation>
    </message>
    <message>
        <source>on or off</source>
        <translation>an oder aus</translation>
    </message>
    <message>
        <source>Whether the zone plays.</source>
        <translation>Ob die Zone spielt.</translation>
    </message>
    <message>
        <source>program</source>
        <translation>Programm</translation>
    </message>
    <message>
        <source>The program change the zone sends.</source>
        <translation>Der Programmwechsel, den die Zone sendet.</translation>
    </message>
    <message>
        <source>bank MSB</source>
        <translation>Bank-MSB</translation>
    </message>
    <message>
        <source>The bank select MSB the zone sends.</source>
        <translation>Das Bank-Select-MSB, das die Zone sendet.</translation>
    </message>
    <message>
        <source>bank LSB</source>
        <translation>Bank-LSB</translation>
    </message>
    <message>
        <source>The bank select LSB the zone sends.</source>
        <translation>Das Bank-Select-LSB, das die Zone sendet.</translation>
    </message>
    <message>
        <source>The MIDI port the zone sends to.</source>
        <translation>Der MIDI-Port, an den die Zone sendet.</translation>
    </message>
    <message>
        <source>The MIDI channel the zone sends on.</source>
        <translation>Der MIDI-Kanal, auf dem die Zone sendet.</translation>
    </message>
    <message>
        <source>lowest key</source>
        <translation>tiefste Taste</translation>
    </message>
    <message>
        <source>The lowest key of the zone.</source>
        <translation>Die tiefste Taste der Zone.</translation>
    </message>
    <message>
        <source>highest key</source>
        <translation>höchste Taste</translation>
    </message>
    <message>
        <source>The highest key of the zone.</source>
        <translation>Die höchste Taste der Zone.</translation>
    </message>
    <message>
        <source>octave</source>
        <translation>Oktave</translation>
    </message>
    <message>
        <source>The octave shift of the zone.</source>
        <translation>Die Oktavverschiebung der Zone.</translation>
    </message>
    <message>
        <source>transpose</source>
        <translation>Transponierung</translation>
    </message>
    <message>
        <source>The transposition of the zone in semitones.</source>
        <translation>Die Transponierung der Zone in Halbtönen.</translation>
    </message>
    <message>
        <source>Rewind</source>
        <translation>Zurückspulen</translation>
    </message>
    <message>
        <source>Fast forward</source>
        <translation>Vorspulen</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Wiedergabe</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Aufnahme</translation>
    </message>
</context>
<context>
    <name>CliText</name>
    <message>
        <source>Reads, writes, backs up and shows the presets of a Korvalen25 MIDI controller, and
flashes its firmware.

</source>
        <translation>Liest, schreibt, sichert und zeigt die Presets eines MIDI-Controllers Korvalen25 und
aktualisiert seine Firmware.

</translation>
    </message>
    <message>
        <source>
PRESET is P01 (the factory preset &quot;Korvalen&quot;) or P17 to P30 (the user presets), or
the device&apos;s numbers for them, 0 and 16 to 29.

Before put, restore and undo-put replace a preset on the device, the preset stored there is
read and kept as a snapshot (see history). Snapshots are kept in KORVALEN_HISTORY_DIR, else
korvalen25/history in the user&apos;s data folder (XDG_DATA_HOME, ~/.local/share).

Exit codes: 0 done, 1 device or transfer failure, 2 wrong command line, 3 bad file
(diff: 0 the same, 1 different).</source>
        <translation>
PRESET ist P01 (das Werks-Preset &quot;Korvalen&quot;) oder P17 bis P30 (die Benutzer-Presets),
oder die Nummern des Geräts dafür, 0 und 16 bis 29.

Bevor put, restore und undo-put ein Preset auf dem Gerät ersetzen, wird das dort
gespeicherte Preset gelesen und als Schnappschuss aufbewahrt (siehe history).
Schnappschüsse liegen in KORVALEN_HISTORY_DIR, sonst in korvalen25/history im
Datenordner des Benutzers (XDG_DATA_HOME, ~/.local/share).

Exit-Codes: 0 erledigt, 1 Geräte- oder Übertragungsfehler, 2 falsche Befehlszeile,
3 fehlerhafte Datei (diff: 0 gleich, 1 verschieden).</translation>
    </message>
    <message>
        <source>%1 (see korvalen25-cli %2)</source>
        <translation>%1 (siehe korvalen25-cli %2)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a preset: use P01, P17 to P30, or 0, 16 to 29</source>
        <translation>&quot;%1&quot; ist kein Preset: P01, P17 bis P30 oder 0, 16 bis 29 angeben</translation>
    </message>
    <message>
        <source>unknown MIDI backend &quot;%1&quot;; known: %2</source>
        <translation>unbekanntes MIDI-Backend &quot;%1&quot;; bekannt sind: %2</translation>
    </message>
    <message>
        <source>the MIDI backend &quot;%1&quot; cannot be used: %2</source>
        <translation>das MIDI-Backend &quot;%1&quot; ist nicht nutzbar: %2</translation>
    </message>
    <message>
        <source>not tried</source>
        <translation>nicht versucht</translation>
    </message>
    <message>
        <source>could not be opened</source>
        <translation>konnte nicht geöffnet werden</translation>
    </message>
    <message>
        <source>the Korvalen25 answered the probe sent here</source>
        <translation>der Korvalen25 hat auf die hier gesendete Abfrage geantwortet</translation>
    </message>
    <message>
        <source>the Korvalen25 answers here</source>
        <translation>der Korvalen25 antwortet hier</translation>
    </message>
    <message>
        <source>a Korvalen25 answered the probe sent here</source>
        <translation>ein Korvalen25 hat auf die hier gesendete Abfrage geantwortet</translation>
    </message>
    <message>
        <source>a Korvalen25 answers here</source>
        <translation>ein Korvalen25 antwortet hier</translation>
    </message>
    <message>
        <source>an answer came, not confirmed</source>
        <translation>eine Antwort kam, nicht bestätigt</translation>
    </message>
    <message>
        <source>not probed</source>
        <translation>nicht abgefragt</translation>
    </message>
    <message>
        <source>no answer</source>
        <translation>keine Antwort</translation>
    </message>
    <message>
        <source>MIDI backend: %1</source>
        <translation>MIDI-Backend: %1</translation>
    </message>
    <message>
        <source>Inputs (%1):</source>
        <translation>Eingänge (%1):</translation>
    </message>
    <message>
        <source>Outputs (%1):</source>
        <translation>Ausgänge (%1):</translation>
    </message>
    <message>
        <source>Another device answered as well.</source>
        <translation>Ein weiteres Gerät hat ebenfalls geantwortet.</translation>
    </message>
    <message>
        <source>The Korvalen25 answers on input %1 and output %2.</source>
        <translation>Der Korvalen25 antwortet auf Eingang %1 und Ausgang %2.</translation>
    </message>
    <message>
        <source>nothing was written, try again</source>
        <translation>nichts wurde geschrieben, bitte erneut versuchen</translation>
    </message>
    <message>
        <source>%1 saved to %2</source>
        <translation>%1 gespeichert in %2</translation>
    </message>
    <message>
        <source>&quot;%1&quot; holds %2 value(s) out of range (%3); nothing was sent</source>
        <translation>&quot;%1&quot; enthält %2 Wert(e) außerhalb des Bereichs (%3); nichts wurde gesendet</translation>
    </message>
    <message>
        <source>nothing was sent (--no-snapshot writes without one)</source>
        <translation>nichts wurde gesendet (--no-snapshot schreibt ohne Schnappschuss)</translation>
    </message>
    <message>
        <source>no snapshot of %1 could be kept, so %2</source>
        <translation>von %1 konnte kein Schnappschuss aufbewahrt werden, daher %2</translation>
    </message>
    <message>
        <source>No snapshot of %1 was kept: %2.</source>
        <translation>Von %1 wurde kein Schnappschuss aufbewahrt: %2.</translation>
    </message>
    <message>
        <source> Its keyboard zones now send on channel 1.</source>
        <translation> Seine Tastaturzonen senden jetzt auf Kanal 1.</translation>
    </message>
    <message>
        <source>cannot keep a snapshot of %1: %2; %3</source>
        <translation>kann keinen Schnappschuss von %1 aufbewahren: %2; %3</translation>
    </message>
    <message>
        <source>%1 as it was before is kept in %2</source>
        <translation>%1 wie zuvor ist aufbewahrt in %2</translation>
    </message>
    <message>
        <source>%1 may now be incomplete on the controller</source>
        <translation>%1 ist auf dem Controller jetzt womöglich unvollständig</translation>
    </message>
    <message>
        <source>%1 on the controller was not changed</source>
        <translation>%1 auf dem Controller wurde nicht verändert</translation>
    </message>
    <message>
        <source>reading it back</source>
        <translation>wird zurückgelesen</translation>
    </message>
    <message>
        <source>%1 of %2 messages</source>
        <translation>%1 von %2 Nachrichten</translation>
    </message>
    <message>
        <source>sending again, slower: %1 of %2 messages</source>
        <translation>erneutes Senden, langsamer: %1 von %2 Nachrichten</translation>
    </message>
    <message>
        <source>&quot;%1&quot; names P01, the factory preset; give the preset to store it as (P01, P17-P30), or --force to write P01; nothing was sent</source>
        <translation>&quot;%1&quot; nennt P01, das Werks-Preset; das Ziel-Preset angeben (P01, P17-P30) oder --force, um P01 zu schreiben; nichts wurde gesendet</translation>
    </message>
    <message>
        <source>&quot;%1&quot; names preset number %2, which the device does not have; give the preset to store it as (P01, P17-P30)</source>
        <translation>&quot;%1&quot; nennt die Preset-Nummer %2, die das Gerät nicht hat; das Ziel-Preset angeben (P01, P17-P30)</translation>
    </message>
    <message>
        <source>%1 stored as %2</source>
        <translation>%1 gespeichert als %2</translation>
    </message>
    <message>
        <source>there is no snapshot of %1 from %2 in &quot;%3&quot;; the snapshots in &quot;%4&quot; are of another controller, nothing was sent (--from-other writes one back anyway)</source>
        <translation>in &quot;%3&quot; gibt es keinen Schnappschuss von %1 dieses Controllers (%2); die Schnappschüsse in &quot;%4&quot; stammen von einem anderen Controller, nichts wurde gesendet (--from-other schreibt trotzdem einen zurück)</translation>
    </message>
    <message>
        <source>the last snapshot of %1 (%2) was taken from %3, not from %4 connected now; nothing was sent (--from-other writes it back anyway)</source>
        <translation>der letzte Schnappschuss von %1 (%2) stammt von einem anderen Controller (aufgenommen: %3; jetzt verbunden: %4); nichts wurde gesendet (--from-other schreibt ihn trotzdem zurück)</translation>
    </message>
    <message>
        <source>there is no snapshot of %1 in &quot;%2&quot;</source>
        <translation>es gibt keinen Schnappschuss von %1 in &quot;%2&quot;</translation>
    </message>
    <message>
        <source>&quot;%1&quot; holds %2 value(s) wider than a byte, which cannot be sent back; nothing was sent</source>
        <translation>&quot;%1&quot; enthält %2 Wert(e), die breiter als ein Byte sind und nicht zurückgesendet werden können; nichts wurde gesendet</translation>
    </message>
    <message>
        <source>&quot;%1&quot; holds %2 value(s) that cannot be sent back as they are (%3: %4); nothing was sent</source>
        <translation>&quot;%1&quot; enthält %2 Wert(e), die nicht unverändert zurückgesendet werden können (%3: %4); nichts wurde gesendet</translation>
    </message>
    <message>
        <source>%1 put back as it was at %2 (%3)</source>
        <translation>%1 zurückgesetzt auf den Stand von %2 (%3)</translation>
    </message>
    <message>
        <source>%1 read</source>
        <translation>%1 gelesen</translation>
    </message>
    <message>
        <source>cannot create the folder &quot;%1&quot;</source>
        <translation>kann den Ordner &quot;%1&quot; nicht anlegen</translation>
    </message>
    <message>
        <source>%1 presets saved in %2</source>
        <translation>%1 Presets gespeichert in %2</translation>
    </message>
    <message>
        <source>there is no folder &quot;%1&quot;</source>
        <translation>es gibt keinen Ordner &quot;%1&quot;</translation>
    </message>
    <message>
        <source>&quot;%1&quot; holds both %2 and %3; remove the one not to restore; nothing was sent</source>
        <translation>&quot;%1&quot; enthält sowohl %2 als auch %3; die nicht wiederherzustellende Datei entfernen; nichts wurde gesendet</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a complete backup: %2 missing; nothing was sent</source>
        <translation>&quot;%1&quot; ist keine vollständige Sicherung: %2 fehlt; nichts wurde gesendet</translation>
    </message>
    <message>
        <source>no preset was restored</source>
        <translation>kein Preset wurde wiederhergestellt</translation>
    </message>
    <message>
        <source>restored whole: %1</source>
        <translation>vollständig wiederhergestellt: %1</translation>
    </message>
    <message>
        <source>not changed: %1</source>
        <translation>nicht verändert: %1</translation>
    </message>
    <message>
        <source>%1 restored</source>
        <translation>%1 wiederhergestellt</translation>
    </message>
    <message>
        <source>The presets as they were before are kept in %1</source>
        <translation>Die Presets im vorherigen Zustand sind aufbewahrt in %1</translation>
    </message>
    <message>
        <source>%1 presets restored from %2</source>
        <translation>%1 Presets wiederhergestellt aus %2</translation>
    </message>
    <message>
        <source>%1 only</source>
        <translation>nur %1</translation>
    </message>
    <message>
        <source>%1 and %2 only</source>
        <translation>nur %1 und %2</translation>
    </message>
    <message>
        <source>Show this help and exit; after a command, that command&apos;s help.</source>
        <translation>Diese Hilfe zeigen und beenden; nach einem Befehl die Hilfe dieses Befehls.</translation>
    </message>
    <message>
        <source>Show the version and exit.</source>
        <translation>Die Version zeigen und beenden.</translation>
    </message>
    <message>
        <source>ports, show, diff, history: print as JSON.</source>
        <translation>ports, show, diff, history: als JSON ausgeben.</translation>
    </message>
    <message>
        <source>put, restore: a pause of MS milliseconds (0-1000) after each message of a download, for a controller that cannot keep up (default: KORVALEN_SEND_PAUSE_MS, else none; a download that does not arrive whole is sent again more slowly in any case).</source>
        <translation>put, restore: eine Pause von MS Millisekunden (0-1000) nach jeder Nachricht einer Übertragung, für einen Controller, der nicht mitkommt (Vorgabe: KORVALEN_SEND_PAUSE_MS, sonst keine; eine Übertragung, die nicht vollständig ankommt, wird ohnehin langsamer erneut gesendet).</translation>
    </message>
    <message>
        <source>The controller to use when more than one answers: a part of its MIDI port name, in any case.</source>
        <translation>Der zu verwendende Controller, wenn mehr als einer antwortet: ein Teil seines MIDI-Portnamens, Groß- und Kleinschreibung egal.</translation>
    </message>
    <message>
        <source>put, restore, undo-put: write even when the preset to be replaced cannot be read and kept as a snapshot.</source>
        <translation>put, restore, undo-put: auch dann schreiben, wenn das zu ersetzende Preset nicht gelesen und als Schnappschuss aufbewahrt werden kann.</translation>
    </message>
    <message>
        <source>undo-put: write back a snapshot taken from another controller (a simulated one, or one on another port).</source>
        <translation>undo-put: einen Schnappschuss von einem anderen Controller zurückschreiben (einem simulierten oder einem an einem anderen Port).</translation>
    </message>
    <message>
        <source>put: write a file that names P01, the factory preset, without PRESET.</source>
        <translation>put: eine Datei schreiben, die P01, das Werks-Preset, nennt, ohne PRESET.</translation>
    </message>
    <message>
        <source>backup: write P01.syx, P17.syx ... (SysEx that any MIDI tool can play to the controller) instead of .sav files.</source>
        <translation>backup: P01.syx, P17.syx ... schreiben (SysEx, das jedes MIDI-Programm an den Controller senden kann) statt .sav-Dateien.</translation>
    </message>
    <message>
        <source>Print every MIDI message of the command on stderr, in words.</source>
        <translation>Jede MIDI-Nachricht des Befehls in Worten auf stderr ausgeben.</translation>
    </message>
    <message>
        <source>diagnostics: write the report to FILE.</source>
        <translation>diagnostics: den Bericht in FILE schreiben.</translation>
    </message>
    <message>
        <source>MIDI backend: %1 (default: KORVALEN_MIDI_API, else auto).</source>
        <translation>MIDI-Backend: %1 (Vorgabe: KORVALEN_MIDI_API, sonst auto).</translation>
    </message>
    <message>
        <source>usage: korvalen25-cli %1</source>
        <translation>Aufruf: korvalen25-cli %1</translation>
    </message>
    <message>
        <source>unknown command &quot;%1&quot;</source>
        <translation>unbekannter Befehl &quot;%1&quot;</translation>
    </message>
    <message>
        <source>Usage: korvalen25-cli [options] command [arguments]
</source>
        <translation>Aufruf: korvalen25-cli [Optionen] Befehl [Argumente]
</translation>
    </message>
    <message>
        <source>--port goes with the commands that use the controller</source>
        <translation>--port gehört zu den Befehlen, die den Controller verwenden</translation>
    </message>
    <message>
        <source>--port takes a part of a MIDI port name</source>
        <translation>--port erwartet einen Teil eines MIDI-Portnamens</translation>
    </message>
    <message>
        <source>--json goes with %1</source>
        <translation>--json gehört zu %1</translation>
    </message>
    <message>
        <source>--no-snapshot goes with %1</source>
        <translation>--no-snapshot gehört zu %1</translation>
    </message>
    <message>
        <source>--from-other goes with %1</source>
        <translation>--from-other gehört zu %1</translation>
    </message>
    <message>
        <source>--force goes with put only</source>
        <translation>--force gehört nur zu put</translation>
    </message>
    <message>
        <source>--syx goes with backup only</source>
        <translation>--syx gehört nur zu backup</translation>
    </message>
    <message>
        <source>-o goes with diagnostics only</source>
        <translation>-o gehört nur zu diagnostics</translation>
    </message>
    <message>
        <source>--send-pause takes milliseconds from 0 to 1000</source>
        <translation>--send-pause erwartet Millisekunden von 0 bis 1000</translation>
    </message>
    <message>
        <source>ports, get, put, show, diff, backup, restore, history, undo-put, flash, monitor, diagnostics or help.</source>
        <translation>ports, get, put, show, diff, backup, restore, history, undo-put, flash, monitor, diagnostics oder help.</translation>
    </message>
    <message>
        <source>command [arguments]</source>
        <translation>Befehl [Argumente]</translation>
    </message>
    <message>
        <source>no command given</source>
        <translation>kein Befehl angegeben</translation>
    </message>
    <message>
        <source>%1 and %2 are the same</source>
        <translation>%1 und %2 sind gleich</translation>
    </message>
    <message>
        <source>%1 difference(s)</source>
        <translation>%1 Unterschied(e)</translation>
    </message>
    <message>
        <source> (the zones&apos; channels not compared: a preset file holds none)</source>
        <translation> (die Kanäle der Zonen nicht verglichen: eine Preset-Datei enthält keine)</translation>
    </message>
    <message>
        <source>No snapshots in %1</source>
        <translation>Keine Schnappschüsse in %1</translation>
    </message>
    <message>
        <source>No snapshots of %1 in %2</source>
        <translation>Keine Schnappschüsse von %1 in %2</translation>
    </message>
    <message>
        <source>  (simulated)</source>
        <translation>  (simuliert)</translation>
    </message>
    <message>
        <source>%1 Korvalen25 controllers in upgrade mode answered; choose one with --port NAME (a part of its port name):</source>
        <translation>%1 Korvalen25-Controller im Update-Modus haben geantwortet; einen mit --port NAME wählen (ein Teil seines Portnamens):</translation>
    </message>
    <message>
        <source>%1 Korvalen25 controllers answered; choose one with --port NAME (a part of its port name):</source>
        <translation>%1 Korvalen25-Controller haben geantwortet; einen mit --port NAME wählen (ein Teil seines Portnamens):</translation>
    </message>
    <message>
        <source>no Korvalen25 in upgrade mode answered on a port named &quot;%1&quot;; these answered (choose one with --port NAME, a part of its port name):</source>
        <translation>kein Korvalen25 im Update-Modus hat an einem Port namens &quot;%1&quot; geantwortet; diese haben geantwortet (einen mit --port NAME wählen, ein Teil seines Portnamens):</translation>
    </message>
    <message>
        <source>no Korvalen25 answered on a port named &quot;%1&quot;; these answered (choose one with --port NAME, a part of its port name):</source>
        <translation>kein Korvalen25 hat an einem Port namens &quot;%1&quot; geantwortet; diese haben geantwortet (einen mit --port NAME wählen, ein Teil seines Portnamens):</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is in the port names of %2 Korvalen25 controllers in upgrade mode that answered; give more of the name with --port NAME:</source>
        <translation>&quot;%1&quot; steht in den Portnamen von %2 Korvalen25-Controllern im Update-Modus, die geantwortet haben; mit --port NAME mehr vom Namen angeben:</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is in the port names of %2 Korvalen25 controllers that answered; give more of the name with --port NAME:</source>
        <translation>&quot;%1&quot; steht in den Portnamen von %2 Korvalen25-Controllern, die geantwortet haben; mit --port NAME mehr vom Namen angeben:</translation>
    </message>
    <message>
        <source>
  %1  (input: %2)</source>
        <translation>
  %1  (Eingang: %2)</translation>
    </message>
    <message>
        <source>no Korvalen25 answered on the MIDI ports (%1 inputs, %2 outputs); check that it is plugged in and switched on</source>
        <translation>kein Korvalen25 hat an den MIDI-Ports geantwortet (%1 Eingänge, %2 Ausgänge); prüfen, ob er angeschlossen und eingeschaltet ist</translation>
    </message>
    <message>
        <source>the controller&apos;s MIDI port did not take the request for %1; check the connection</source>
        <translation>der MIDI-Port des Controllers hat die Anfrage nach %1 nicht angenommen; Verbindung prüfen</translation>
    </message>
    <message>
        <source>the controller did not answer the request for %1 within %2 s</source>
        <translation>der Controller hat die Anfrage nach %1 nicht innerhalb von %2 s beantwortet</translation>
    </message>
    <message>
        <source>the dump of %1 stopped before its end (nothing came for %2 s)</source>
        <translation>der Dump von %1 brach vor seinem Ende ab (%2 s lang kam nichts)</translation>
    </message>
    <message>
        <source>part of the dump of %1 was lost on the way</source>
        <translation>ein Teil des Dumps von %1 ging unterwegs verloren</translation>
    </message>
    <message>
        <source>the controller sent %1 invalid record(s) in the dump of %2</source>
        <translation>der Controller sandte %1 ungültige(n) Datensatz/Datensätze im Dump von %2</translation>
    </message>
    <message>
        <source>the dump of %1 was incomplete (nothing for %2)</source>
        <translation>der Dump von %1 war unvollständig (nichts für %2)</translation>
    </message>
    <message>
        <source>the controller sent preset number %1 when asked for %2</source>
        <translation>der Controller sandte Preset-Nummer %1 auf die Anfrage nach %2</translation>
    </message>
    <message>
        <source>%1 and %2 more</source>
        <translation>%1 und %2 weitere</translation>
    </message>
    <message>
        <source>%1 did not arrive</source>
        <translation>%1 kam nicht an</translation>
    </message>
    <message>
        <source>%1 did not take (still different although the rest arrived, so not a matter of speed)</source>
        <translation>%1 wurde nicht übernommen (weiterhin verschieden, obwohl der Rest ankam, also keine Frage der Geschwindigkeit)</translation>
    </message>
    <message>
        <source>%1 reads back different from what was sent after %2 rounds, each slower than the one before: %3; check the controller and try again</source>
        <translation>%1 liest sich nach %2 Runden, jede langsamer als die vorige, anders zurück als gesendet: %3; Controller prüfen und erneut versuchen</translation>
    </message>
    <message>
        <source>%1 sent, not confirmed: %2</source>
        <translation>%1 gesendet, nicht bestätigt: %2</translation>
    </message>
    <message>
        <source>the controller&apos;s MIDI port stopped taking messages after %1 of the download of %2</source>
        <translation>der MIDI-Port des Controllers nahm nach %1 der Übertragung von %2 keine Nachrichten mehr an</translation>
    </message>
    <message>
        <source>[%1%2] %3%  %4/%5 blocks</source>
        <translation>[%1%2] %3%  %4/%5 Blöcke</translation>
    </message>
    <message>
        <source>Looking for a Korvalen25 in upgrade mode...</source>
        <translation>Suche einen Korvalen25 im Update-Modus...</translation>
    </message>
    <message>
        <source>There are no MIDI ports.</source>
        <translation>Es gibt keine MIDI-Ports.</translation>
    </message>
    <message>
        <source>Check that the controller is plugged in, and try again.</source>
        <translation>Prüfen, ob der Controller angeschlossen ist, und erneut versuchen.</translation>
    </message>
    <message>
        <source>There are too many MIDI ports: unplug other MIDI devices.</source>
        <translation>Es gibt zu viele MIDI-Ports: andere MIDI-Geräte abziehen.</translation>
    </message>
    <message>
        <source>A MIDI input port could not be opened.</source>
        <translation>Ein MIDI-Eingang konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>A MIDI output port could not be opened.</source>
        <translation>Ein MIDI-Ausgang konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>No Korvalen25 in upgrade mode answered.</source>
        <translation>Kein Korvalen25 im Update-Modus hat geantwortet.</translation>
    </message>
    <message>
        <source>The Korvalen25 in upgrade mode answered.</source>
        <translation>Der Korvalen25 im Update-Modus hat geantwortet.</translation>
    </message>
    <message>
        <source>Writing the firmware...</source>
        <translation>Schreibe die Firmware...</translation>
    </message>
    <message>
        <source>The firmware is written.</source>
        <translation>Die Firmware ist geschrieben.</translation>
    </message>
    <message>
        <source>Switch the controller off and on again to start the new firmware.</source>
        <translation>Den Controller aus- und wieder einschalten, um die neue Firmware zu starten.</translation>
    </message>
    <message>
        <source>The controller on &quot;%1&quot; is in normal mode (firmware %2): start it in upgrade mode and run the flash command again.</source>
        <translation>Der Controller an &quot;%1&quot; ist im normalen Modus (Firmware %2): ihn im Update-Modus starten und den Befehl flash erneut ausführen.</translation>
    </message>
    <message>
        <source>Flashing the controller on &quot;%1&quot;; another controller in upgrade mode, on &quot;%2&quot;, is left as it is.</source>
        <translation>Aktualisiere den Controller an &quot;%1&quot;; ein weiterer Controller im Update-Modus an &quot;%2&quot; bleibt, wie er ist.</translation>
    </message>
    <message>
        <source>Stopped before anything was sent.</source>
        <translation>Angehalten, bevor etwas gesendet wurde.</translation>
    </message>
    <message>
        <source>Stopped: the firmware in the controller is incomplete.</source>
        <translation>Angehalten: die Firmware im Controller ist unvollständig.</translation>
    </message>
    <message>
        <source>The controller did not ask for the firmware after the start message.</source>
        <translation>Der Controller hat nach der Startnachricht nicht nach der Firmware gefragt.</translation>
    </message>
    <message>
        <source>The controller stopped answering during the transfer.</source>
        <translation>Der Controller hat während der Übertragung aufgehört zu antworten.</translation>
    </message>
    <message>
        <source>The controller asked for block %1 of %2 again %3 times in a row and does not take it.</source>
        <translation>Der Controller hat %3-mal hintereinander erneut nach Block %1 von %2 gefragt und nimmt ihn nicht an.</translation>
    </message>
    <message>
        <source>Device firmware version: %1</source>
        <translation>Firmware-Version des Geräts: %1</translation>
    </message>
    <message>
        <source>cannot read &quot;%1&quot;: %2</source>
        <translation>kann &quot;%1&quot; nicht lesen: %2</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is larger than a Korvalen25 firmware image can be; give the .bin file of the firmware</source>
        <translation>&quot;%1&quot; ist größer, als ein Firmware-Image des Korvalen25 sein kann; die .bin-Datei der Firmware angeben</translation>
    </message>
    <message>
        <source>&quot;%1&quot; has more blocks than a Korvalen25 firmware image can have</source>
        <translation>&quot;%1&quot; hat mehr Blöcke, als ein Firmware-Image des Korvalen25 haben kann</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a Korvalen25 firmware image (it does not end in one&apos;s trailer)</source>
        <translation>&quot;%1&quot; ist kein Firmware-Image des Korvalen25 (es endet nicht mit dessen Abschluss)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; holds no firmware: the image is empty, so there is nothing to flash</source>
        <translation>&quot;%1&quot; enthält keine Firmware: das Image ist leer, es gibt also nichts zu schreiben</translation>
    </message>
    <message>
        <source>Firmware image %1: version %2, %3 blocks</source>
        <translation>Firmware-Image %1: Version %2, %3 Blöcke</translation>
    </message>
    <message>
        <source>the upgrade could not start</source>
        <translation>das Firmware-Update konnte nicht starten</translation>
    </message>
    <message>
        <source>%1; the firmware in the controller is incomplete: start it in upgrade mode and flash again</source>
        <translation>%1; die Firmware im Controller ist unvollständig: ihn im Update-Modus starten und erneut aktualisieren</translation>
    </message>
    <message>
        <source>there are no MIDI ports; plug in the controller, started in upgrade mode, and try again</source>
        <translation>es gibt keine MIDI-Ports; den Controller im Update-Modus gestartet anschließen und erneut versuchen</translation>
    </message>
    <message>
        <source>there are too many MIDI ports to search; unplug other MIDI devices and try again</source>
        <translation>es gibt zu viele MIDI-Ports zum Durchsuchen; andere MIDI-Geräte abziehen und erneut versuchen</translation>
    </message>
    <message>
        <source>no Korvalen25 in upgrade mode answered on the MIDI ports; start it in upgrade mode and try again</source>
        <translation>kein Korvalen25 im Update-Modus hat an den MIDI-Ports geantwortet; ihn im Update-Modus starten und erneut versuchen</translation>
    </message>
    <message>
        <source>interrupted: the upgrade was stopped</source>
        <translation>unterbrochen: das Firmware-Update wurde angehalten</translation>
    </message>
    <message>
        <source>the upgrade was stopped</source>
        <translation>das Firmware-Update wurde angehalten</translation>
    </message>
    <message>
        <source>the controller stopped answering during the transfer</source>
        <translation>der Controller hat während der Übertragung aufgehört zu antworten</translation>
    </message>
    <message>
        <source>the upgrade did not complete</source>
        <translation>das Firmware-Update wurde nicht abgeschlossen</translation>
    </message>
    <message>
        <source>list the MIDI ports and the one the Korvalen25 answers on</source>
        <translation>die MIDI-Ports auflisten und den, an dem der Korvalen25 antwortet</translation>
    </message>
    <message>
        <source>Lists the MIDI input and output ports, probes each output for a Korvalen25
and tells which pair of ports it answers on. With no MIDI port at all it
gives up after about a second.
</source>
        <translation>Listet die MIDI-Ein- und -Ausgänge auf, fragt an jedem Ausgang nach einem
Korvalen25 und nennt das Port-Paar, an dem er antwortet. Ganz ohne MIDI-Port
gibt er nach etwa einer Sekunde auf.
</translation>
    </message>
    <message>
        <source>  korvalen25-cli ports
  korvalen25-cli --midi-api jack ports     the ports of a JACK server
  korvalen25-cli --port &quot;MIDI 2&quot; ports    which ports the second controller uses
  korvalen25-cli ports --json             the same for scripts
</source>
        <translation>  korvalen25-cli ports
  korvalen25-cli --midi-api jack ports     die Ports eines JACK-Servers
  korvalen25-cli --port &quot;MIDI 2&quot; ports    welche Ports der zweite Controller nutzt
  korvalen25-cli ports --json             dasselbe für Skripte
</translation>
    </message>
    <message>
        <source>  0  the Korvalen25 answered
  1  it did not answer, or a port failed
  2  wrong command line
</source>
        <translation>  0  der Korvalen25 hat geantwortet
  1  er hat nicht geantwortet, oder ein Port versagte
  2  falsche Befehlszeile
</translation>
    </message>
    <message>
        <source>read device preset PRESET into a preset file</source>
        <translation>Geräte-Preset PRESET in eine Preset-Datei lesen</translation>
    </message>
    <message>
        <source>Reads preset PRESET from the Korvalen25 and saves it in FILE.sav, in the
editor&apos;s preset file format. A name ending in .syx gets the SysEx that
stores the preset, the keyboard zones&apos; channels included, when any MIDI
tool plays it to the controller. FILE.sav is written only once the whole
preset has been read: after a failure a file that was there is as it was.
</source>
        <translation>Liest das Preset PRESET aus dem Korvalen25 und speichert es in FILE.sav im
Preset-Dateiformat des Editors. Ein Name auf .syx erhält das SysEx, das das
Preset samt den Kanälen der Tastaturzonen speichert, wenn ein beliebiges
MIDI-Programm es an den Controller sendet. FILE.sav wird erst geschrieben,
wenn das ganze Preset gelesen ist: nach einem Fehler bleibt eine vorhandene
Datei, wie sie war.
</translation>
    </message>
    <message>
        <source>  PRESET      P01 (the factory preset &quot;Korvalen&quot;) or P17 to P30 (the user
              presets), or the device&apos;s numbers for them, 0 and 16 to 29
  FILE.sav    the preset file to write (.sav, or .syx for SysEx)
</source>
        <translation>  PRESET      P01 (das Werks-Preset &quot;Korvalen&quot;) oder P17 bis P30 (die
              Benutzer-Presets), oder die Nummern des Geräts dafür, 0 und 16 bis 29
  FILE.sav    die zu schreibende Preset-Datei (.sav, oder .syx für SysEx)
</translation>
    </message>
    <message>
        <source>  korvalen25-cli get P17 lead.sav         save user preset P17 in lead.sav
  korvalen25-cli get P17 lead.syx         the same as SysEx
</source>
        <translation>  korvalen25-cli get P17 lead.sav         Benutzer-Preset P17 in lead.sav speichern
  korvalen25-cli get P17 lead.syx         dasselbe als SysEx
</translation>
    </message>
    <message>
        <source>  0  saved
  1  no controller, or the transfer failed
  2  wrong command line
  3  FILE.sav cannot be written
</source>
        <translation>  0  gespeichert
  1  kein Controller, oder die Übertragung schlug fehl
  2  falsche Befehlszeile
  3  FILE.sav kann nicht geschrieben werden
</translation>
    </message>
    <message>
        <source>write a preset file to the device as PRESET (default: the
preset number stored in the file)</source>
        <translation>eine Preset-Datei als PRESET auf das Gerät schreiben (Vorgabe:
die in der Datei gespeicherte Preset-Nummer)</translation>
    </message>
    <message>
        <source>Writes the preset file FILE.sav to the Korvalen25 as preset PRESET, then
reads the preset back to check that it arrived whole. Without PRESET the
preset number stored in the file is used; when that is P01, the factory
preset, --force must say so. The keyboard zones get the MIDI channels kept
beside the file (FILE.zones.json, as get writes it); without that file they
keep the channels they have on the device. A .syx file (the messages get
writes, or a controller&apos;s dump such as a snapshot&apos;s .syx) carries the
channels itself. A file with a
value out of range is refused before anything is sent. What does not read
back as sent is sent again, more slowly, for up to three more rounds; a
controller that needs a pause between messages from the start gets one
with --send-pause MS or KORVALEN_SEND_PAUSE_MS. A failure says whether the
preset on the device may now be incomplete or was not changed. The preset
that was on the device is read first and kept as a snapshot (see history
and undo-put); when it cannot be read or kept nothing is sent, unless
--no-snapshot is given.
</source>
        <translation>Schreibt die Preset-Datei FILE.sav als Preset PRESET auf den Korvalen25 und
liest das Preset dann zurück, um zu prüfen, ob es vollständig ankam. Ohne
PRESET gilt die in der Datei gespeicherte Preset-Nummer; ist das P01, das
Werks-Preset, muss --force es bestätigen. Die Tastaturzonen erhalten die
MIDI-Kanäle, die neben der Datei liegen (FILE.zones.json, wie get sie
schreibt); ohne diese Datei behalten sie die Kanäle, die sie auf dem Gerät
haben. Eine .syx-Datei (die Nachrichten, die get schreibt, oder der Dump
eines Controllers wie die .syx eines Schnappschusses) bringt die Kanäle selbst
mit. Eine Datei mit einem
Wert außerhalb des Bereichs wird abgelehnt, bevor etwas gesendet wird. Was
nicht so zurückgelesen wird, wie es gesendet wurde, wird bis zu drei weitere
Runden lang langsamer erneut gesendet; ein Controller, der von Anfang an
eine Pause zwischen den Nachrichten braucht, erhält sie mit --send-pause MS
oder KORVALEN_SEND_PAUSE_MS. Ein Fehler sagt, ob das Preset auf dem Gerät
jetzt womöglich unvollständig oder unverändert ist. Das Preset, das auf dem
Gerät war, wird zuerst gelesen und als Schnappschuss aufbewahrt (siehe
history und undo-put); kann es nicht gelesen oder aufbewahrt werden, wird
nichts gesendet, außer mit --no-snapshot.
</translation>
    </message>
    <message>
        <source>  FILE.sav    the preset file to write to the device (.sav or .syx)
  PRESET      P01 (the factory preset &quot;Korvalen&quot;) or P17 to P30 (the user
              presets), or the device&apos;s numbers for them, 0 and 16 to 29
</source>
        <translation>  FILE.sav    die auf das Gerät zu schreibende Preset-Datei (.sav oder .syx)
  PRESET      P01 (das Werks-Preset &quot;Korvalen&quot;) oder P17 bis P30 (die
              Benutzer-Presets), oder die Nummern des Geräts dafür, 0 und 16 bis 29
</translation>
    </message>
    <message>
        <source>  korvalen25-cli put lead.sav             store it under its own number
  korvalen25-cli put lead.sav P20         store it as user preset P20
</source>
        <translation>  korvalen25-cli put lead.sav             unter seiner eigenen Nummer speichern
  korvalen25-cli put lead.sav P20         als Benutzer-Preset P20 speichern
</translation>
    </message>
    <message>
        <source>  0  stored, and it reads back the same
  1  no controller, the transfer failed or the preset reads back different
  2  wrong command line
  3  FILE.sav cannot be read, is not a preset file or holds a value out of
     range, or the snapshot cannot be written
</source>
        <translation>  0  gespeichert, und es liest sich gleich zurück
  1  kein Controller, die Übertragung schlug fehl oder das Preset liest sich
     anders zurück
  2  falsche Befehlszeile
  3  FILE.sav kann nicht gelesen werden, ist keine Preset-Datei oder enthält
     einen Wert außerhalb des Bereichs, oder der Schnappschuss kann nicht
     geschrieben werden
</translation>
    </message>
    <message>
        <source>print a preset file as text (--json for scripts)</source>
        <translation>eine Preset-Datei als Text ausgeben (--json für Skripte)</translation>
    </message>
    <message>
        <source>Prints a preset file: every control of every bank and the three keyboard
zones, each value as the editor shows it. No controller is needed.
</source>
        <translation>Gibt eine Preset-Datei aus: jedes Bedienelement jeder Bank und die drei
Tastaturzonen, jeden Wert so, wie der Editor ihn zeigt. Kein Controller nötig.
</translation>
    </message>
    <message>
        <source>  FILE.sav    the preset file to show (.sav or .syx)
</source>
        <translation>  FILE.sav    die anzuzeigende Preset-Datei (.sav oder .syx)
</translation>
    </message>
    <message>
        <source>  korvalen25-cli show lead.sav
  korvalen25-cli show --json lead.sav     the same as JSON
</source>
        <translation>  korvalen25-cli show lead.sav
  korvalen25-cli show --json lead.sav     dasselbe als JSON
</translation>
    </message>
    <message>
        <source>  0  shown
  2  wrong command line
  3  FILE.sav cannot be read or is not a preset file
</source>
        <translation>  0  angezeigt
  2  falsche Befehlszeile
  3  FILE.sav kann nicht gelesen werden oder ist keine Preset-Datei
</translation>
    </message>
    <message>
        <source>read all 15 presets into DIR, one file each: P01.sav,
P17.sav ... P30.sav</source>
        <translation>alle 15 Presets in DIR lesen, je eine Datei: P01.sav,
P17.sav ... P30.sav</translation>
    </message>
    <message>
        <source>Reads all 15 presets of the Korvalen25 and saves them in the folder DIR,
which is made if it does not exist, one preset file each: P01.sav, P17.sav
... P30.sav; with --syx P01.syx ... P30.syx, SysEx that any MIDI tool can
play to the controller. Every preset is read before any file is written, so
a transfer that fails writes nothing.
</source>
        <translation>Liest alle 15 Presets des Korvalen25 und speichert sie im Ordner DIR, der
angelegt wird, falls es ihn nicht gibt, je eine Preset-Datei: P01.sav,
P17.sav ... P30.sav; mit --syx P01.syx ... P30.syx, SysEx, das jedes
MIDI-Programm an den Controller senden kann. Jedes Preset wird gelesen,
bevor eine Datei geschrieben wird, eine fehlgeschlagene Übertragung
schreibt also nichts.
</translation>
    </message>
    <message>
        <source>  DIR         the folder to save the presets in
</source>
        <translation>  DIR         der Ordner, in dem die Presets gespeichert werden
</translation>
    </message>
    <message>
        <source>  korvalen25-cli backup ~/korvalen-backup
  korvalen25-cli backup --syx ~/korvalen-syx
</source>
        <translation>  korvalen25-cli backup ~/korvalen-backup
  korvalen25-cli backup --syx ~/korvalen-syx
</translation>
    </message>
    <message>
        <source>  0  saved
  1  no controller, or a transfer failed
  2  wrong command line
  3  DIR or a file in it cannot be written
</source>
        <translation>  0  gespeichert
  1  kein Controller, oder eine Übertragung schlug fehl
  2  falsche Befehlszeile
  3  DIR oder eine Datei darin kann nicht geschrieben werden
</translation>
    </message>
    <message>
        <source>write the 15 files of a backup in DIR back to the device</source>
        <translation>die 15 Dateien einer Sicherung in DIR zurück auf das Gerät
schreiben</translation>
    </message>
    <message>
        <source>Writes the 15 preset files of a backup in the folder DIR (P01.sav, P17.sav
... P30.sav, or the same names ending in .syx) back to the Korvalen25, and
reads each preset back to check it (sending again, more slowly, what did
not arrive, as put does; see --send-pause there). All files are read and
checked before anything is sent. A failure names the presets restored
whole, the one that may now be incomplete and those not changed. Each
preset on the device is kept as a snapshot before it is replaced, as put
does.
</source>
        <translation>Schreibt die 15 Preset-Dateien einer Sicherung im Ordner DIR (P01.sav,
P17.sav ... P30.sav, oder dieselben Namen auf .syx) zurück auf den
Korvalen25 und liest jedes Preset zur Prüfung zurück (was nicht ankam, wird
wie bei put langsamer erneut gesendet; siehe dort --send-pause). Alle
Dateien werden gelesen und geprüft, bevor etwas gesendet wird. Ein Fehler
nennt die vollständig wiederhergestellten Presets, das womöglich jetzt
unvollständige und die unveränderten. Jedes Preset auf dem Gerät wird wie
bei put als Schnappschuss aufbewahrt, bevor es ersetzt wird.
</translation>
    </message>
    <message>
        <source>  DIR         a folder written by the backup command
</source>
        <translation>  DIR         ein vom Befehl backup geschriebener Ordner
</translation>
    </message>
    <message>
        <source>  korvalen25-cli restore ~/korvalen-backup
</source>
        <translation>  korvalen25-cli restore ~/korvalen-backup
</translation>
    </message>
    <message>
        <source>  0  restored
  1  no controller, a transfer failed or a preset reads back different
  2  wrong command line
  3  DIR is missing, lacks a file, or holds one that is not a preset file or
     has a value out of range, or a snapshot cannot be written
</source>
        <translation>  0  wiederhergestellt
  1  kein Controller, eine Übertragung schlug fehl oder ein Preset liest sich
     anders zurück
  2  falsche Befehlszeile
  3  DIR fehlt, es fehlt eine Datei, oder eine ist keine Preset-Datei oder
     hat einen Wert außerhalb des Bereichs, oder ein Schnappschuss kann nicht
     geschrieben werden
</translation>
    </message>
    <message>
        <source>compare two presets, each a preset file or a device
preset such as P17</source>
        <translation>zwei Presets vergleichen, je eine Preset-Datei oder ein
Geräte-Preset wie P17</translation>
    </message>
    <message>
        <source>Compares two presets control by control and lists where they differ: the
control, its bank, the field and the two values, as the editor&apos;s boxes show
them. A and B are each a preset file (.sav or .syx, a snapshot too) or a
preset of the Korvalen25 given as PRESET; a file named like a preset is
given as ./P17.
A .sav file holds no channels for the keyboard zones, so they are compared
only between presets of the device, snapshots and .syx files.
</source>
        <translation>Vergleicht zwei Presets Bedienelement für Bedienelement und listet, wo sie
sich unterscheiden: das Bedienelement, seine Bank, das Feld und die beiden
Werte, wie die Felder des Editors sie zeigen. A und B sind je eine
Preset-Datei (.sav oder .syx, auch ein Schnappschuss) oder ein Preset des
Korvalen25, angegeben als PRESET; eine Datei, die wie ein Preset heißt, wird
als ./P17 angegeben.
Eine .sav-Datei enthält keine Kanäle für die Tastaturzonen; sie werden daher
nur zwischen Presets des Geräts, Schnappschüssen und .syx-Dateien verglichen.
</translation>
    </message>
    <message>
        <source>  A, B        a preset file, or PRESET: P01 or P17 to P30 on the device
</source>
        <translation>  A, B        eine Preset-Datei, oder PRESET: P01 oder P17 bis P30 auf dem Gerät
</translation>
    </message>
    <message>
        <source>  korvalen25-cli diff lead.sav P17        what a put of lead.sav would change
  korvalen25-cli diff --json a.sav b.sav  the same as JSON
</source>
        <translation>  korvalen25-cli diff lead.sav P17        was ein put von lead.sav ändern würde
  korvalen25-cli diff --json a.sav b.sav  dasselbe als JSON
</translation>
    </message>
    <message>
        <source>  0  the presets are the same
  1  they differ, or no controller, or the transfer failed
  2  wrong command line
  3  a file cannot be read or is not a preset file
</source>
        <translation>  0  die Presets sind gleich
  1  sie unterscheiden sich, oder kein Controller, oder die Übertragung schlug
     fehl
  2  falsche Befehlszeile
  3  eine Datei kann nicht gelesen werden oder ist keine Preset-Datei
</translation>
    </message>
    <message>
        <source>list the snapshots kept before writes (of PRESET, or all)</source>
        <translation>die vor dem Schreiben aufbewahrten Schnappschüsse auflisten
(von PRESET, oder alle)</translation>
    </message>
    <message>
        <source>Lists the snapshots that put, restore, undo-put and the editor&apos;s DownLoad
kept of the presets they replaced on the device, the last taken first: the
preset, when it was taken and its file; those of simulated controllers come
after, marked as such. The last 50 of each preset are kept, in
KORVALEN_HISTORY_DIR or else korvalen25/history in the user&apos;s data folder
(simulated controllers&apos; in its folder &quot;simulated&quot;). No controller is needed.
</source>
        <translation>Listet die Schnappschüsse, die put, restore, undo-put und Download im Editor
von den Presets aufbewahrt haben, die sie auf dem Gerät ersetzt haben, den
letzten zuerst: das Preset, wann er entstand, und seine Datei; die von
simulierten Controllern folgen danach, als solche markiert. Die letzten 50
jedes Presets werden aufbewahrt, in KORVALEN_HISTORY_DIR oder sonst in
korvalen25/history im Datenordner des Benutzers (die simulierter Controller
dort im Ordner &quot;simulated&quot;). Kein Controller nötig.
</translation>
    </message>
    <message>
        <source>  PRESET      only the snapshots of this preset (P01, P17 to P30)
</source>
        <translation>  PRESET      nur die Schnappschüsse dieses Presets (P01, P17 bis P30)
</translation>
    </message>
    <message>
        <source>  korvalen25-cli history P17
  korvalen25-cli history --json           every snapshot, for scripts
</source>
        <translation>  korvalen25-cli history P17
  korvalen25-cli history --json           jeder Schnappschuss, für Skripte
</translation>
    </message>
    <message>
        <source>  0  listed (also when there are none)
  2  wrong command line
</source>
        <translation>  0  aufgelistet (auch wenn es keine gibt)
  2  falsche Befehlszeile
</translation>
    </message>
    <message>
        <source>write the latest snapshot of PRESET back to the device</source>
        <translation>den neuesten Schnappschuss von PRESET zurück auf das Gerät
schreiben</translation>
    </message>
    <message>
        <source>Writes the latest snapshot of PRESET back to the Korvalen25 as the
controller sent it, the keyboard zones&apos; channels included, and reads it back
to check it as put does. What it replaces is kept as a snapshot in turn, so a
second undo-put undoes the first. Values the editor cannot show are written
back as they were. A snapshot taken from another controller (a simulated one,
one of another identity, or one on another port when the snapshot records no
identity) is refused unless --from-other is given.
</source>
        <translation>Schreibt den neuesten Schnappschuss von PRESET so auf den Korvalen25 zurück,
wie der Controller ihn gesendet hat, samt den Kanälen der Tastaturzonen, und
liest ihn wie put zur Prüfung zurück. Was er ersetzt, wird seinerseits als
Schnappschuss aufbewahrt, ein zweites undo-put macht das erste also
rückgängig. Werte, die der Editor nicht zeigen kann, werden unverändert
zurückgeschrieben. Ein Schnappschuss von einem anderen Controller (einem
simulierten, einem mit anderer Identität, oder einem an einem anderen Port,
wenn der Schnappschuss keine Identität festhält) wird abgelehnt, außer mit
--from-other.
</translation>
    </message>
    <message>
        <source>  PRESET      P01 (the factory preset &quot;Korvalen&quot;) or P17 to P30 (the user
              presets), or the device&apos;s numbers for them, 0 and 16 to 29
</source>
        <translation>  PRESET      P01 (das Werks-Preset &quot;Korvalen&quot;) oder P17 bis P30 (die
              Benutzer-Presets), oder die Nummern des Geräts dafür, 0 und 16 bis 29
</translation>
    </message>
    <message>
        <source>  korvalen25-cli undo-put P17             P17 as it was before the last write
</source>
        <translation>  korvalen25-cli undo-put P17             P17 wie vor dem letzten Schreiben
</translation>
    </message>
    <message>
        <source>  0  written back, and it reads back the same
  1  no controller, the transfer failed or the preset reads back different
  2  wrong command line
  3  there is no snapshot of PRESET, it cannot be read, it holds a value that
     cannot be sent as it is, or it was taken from another controller (and no
     --from-other)
</source>
        <translation>  0  zurückgeschrieben, und es liest sich gleich zurück
  1  kein Controller, die Übertragung schlug fehl oder das Preset liest sich
     anders zurück
  2  falsche Befehlszeile
  3  es gibt keinen Schnappschuss von PRESET, er kann nicht gelesen werden,
     er enthält einen Wert, der nicht unverändert gesendet werden kann, oder
     er stammt von einem anderen Controller (und kein --from-other)
</translation>
    </message>
    <message>
        <source>write a firmware image into a controller started in its
upgrade mode</source>
        <translation>ein Firmware-Image in einen im Update-Modus gestarteten
Controller schreiben</translation>
    </message>
    <message>
        <source>Writes the firmware image FILE.bin into a Korvalen25 that was started in
its upgrade mode, and shows the progress: a bar on a terminal, a line at
every tenth of the image otherwise. When more than one controller is in
upgrade mode, --port chooses the one to flash; without it they are listed
and none is flashed. Ctrl-C stops it; the controller is then
left with incomplete firmware and must be started in upgrade mode and
flashed again.
</source>
        <translation>Schreibt das Firmware-Image FILE.bin in einen Korvalen25, der im Update-Modus
gestartet wurde, und zeigt den Fortschritt: einen Balken im Terminal, sonst
eine Zeile bei jedem Zehntel des Images. Sind mehrere Controller im
Update-Modus, wählt --port den zu aktualisierenden; ohne --port werden sie
aufgelistet und keiner wird aktualisiert. Strg-C hält es an; der Controller
hat dann unvollständige Firmware und muss im Update-Modus gestartet und
erneut aktualisiert werden.
</translation>
    </message>
    <message>
        <source>  FILE.bin    the firmware image
</source>
        <translation>  FILE.bin    das Firmware-Image
</translation>
    </message>
    <message>
        <source>  korvalen25-cli flash korvalen25-v102.bin
  korvalen25-cli flash --port &quot;MIDI 2&quot; korvalen25-v102.bin
                                          flash the controller on &quot;... MIDI 2&quot;
</source>
        <translation>  korvalen25-cli flash korvalen25-v102.bin
  korvalen25-cli flash --port &quot;MIDI 2&quot; korvalen25-v102.bin
                                          den Controller an &quot;... MIDI 2&quot; aktualisieren
</translation>
    </message>
    <message>
        <source>  0  flashed
  1  no controller in upgrade mode, or the transfer failed or was stopped
  2  wrong command line
  3  FILE.bin cannot be read or is not a Korvalen25 firmware image
</source>
        <translation>  0  aktualisiert
  1  kein Controller im Update-Modus, oder die Übertragung schlug fehl oder
     wurde angehalten
  2  falsche Befehlszeile
  3  FILE.bin kann nicht gelesen werden oder ist kein Firmware-Image des
     Korvalen25
</translation>
    </message>
    <message>
        <source>print every MIDI message to and from the controller, in
words, until Ctrl-C</source>
        <translation>jede MIDI-Nachricht zum und vom Controller in Worten
ausgeben, bis Strg-C</translation>
    </message>
    <message>
        <source>Finds the Korvalen25 and prints every MIDI message on its ports, one line
each, until Ctrl-C (or SIGTERM): the time, in or out, the port, what the
message says and its bytes. The search&apos;s own messages come first. Notes,
controllers and the like are named as MIDI names them, the editor&apos;s and the
controller&apos;s own messages in the editor&apos;s words; a firmware upgrade is kept
to a few lines.
</source>
        <translation>Findet den Korvalen25 und gibt jede MIDI-Nachricht an seinen Ports aus, je
eine Zeile, bis Strg-C (oder SIGTERM): die Zeit, ein oder aus, den Port, was
die Nachricht sagt, und ihre Bytes. Die Nachrichten der Suche kommen zuerst.
Noten, Controller und dergleichen heißen, wie MIDI sie nennt, die eigenen
Nachrichten von Editor und Controller stehen in den Worten des Editors; ein
Firmware-Update wird auf wenige Zeilen gekürzt.
</translation>
    </message>
    <message>
        <source>  korvalen25-cli monitor
  korvalen25-cli monitor &gt; traffic.txt    keep the lines in a file
</source>
        <translation>  korvalen25-cli monitor
  korvalen25-cli monitor &gt; traffic.txt    die Zeilen in einer Datei behalten
</translation>
    </message>
    <message>
        <source>  0  ended by Ctrl-C or SIGTERM
  1  no controller answered
  2  wrong command line
</source>
        <translation>  0  durch Strg-C oder SIGTERM beendet
  1  kein Controller hat geantwortet
  2  falsche Befehlszeile
</translation>
    </message>
    <message>
        <source>print a report to attach to a bug report (-o: write it
to FILE)</source>
        <translation>einen Bericht für eine Fehlermeldung ausgeben (-o: in
FILE schreiben)</translation>
    </message>
    <message>
        <source>Searches for the Korvalen25, reads its preset P01 as a check of the link,
and prints a report to attach to a bug report: the program&apos;s version and
those of Qt and RtMidi, the MIDI backend, every MIDI port with what the
search did with it, the outcome of the read and the MIDI messages that went
over the ports. With -o FILE the report is written to FILE instead.
</source>
        <translation>Sucht den Korvalen25, liest als Probe der Verbindung sein Preset P01 und gibt
einen Bericht aus, der einer Fehlermeldung beigelegt werden kann: die Version
des Programms und die von Qt und RtMidi, das MIDI-Backend, jeden MIDI-Port
mit dem, was die Suche mit ihm tat, das Ergebnis des Lesens und die
MIDI-Nachrichten, die über die Ports gingen. Mit -o FILE wird der Bericht
stattdessen in FILE geschrieben.
</translation>
    </message>
    <message>
        <source>  korvalen25-cli diagnostics
  korvalen25-cli diagnostics -o report.txt
</source>
        <translation>  korvalen25-cli diagnostics
  korvalen25-cli diagnostics -o report.txt
</translation>
    </message>
    <message>
        <source>  0  the report was printed or written (also when no controller answered)
  2  wrong command line
  3  FILE cannot be written
</source>
        <translation>  0  der Bericht wurde ausgegeben oder geschrieben (auch wenn kein Controller
     geantwortet hat)
  2  falsche Befehlszeile
  3  FILE kann nicht geschrieben werden
</translation>
    </message>
    <message>
        <source>print the help of COMMAND (also: COMMAND --help)</source>
        <translation>die Hilfe zu COMMAND ausgeben (auch: COMMAND --help)</translation>
    </message>
    <message>
        <source>Prints the help of COMMAND: what it does, its arguments and options, an
example and its exit codes. Without COMMAND it prints the general help.
</source>
        <translation>Gibt die Hilfe zu COMMAND aus: was er tut, seine Argumente und Optionen, ein
Beispiel und seine Exit-Codes. Ohne COMMAND gibt es die allgemeine Hilfe aus.
</translation>
    </message>
    <message>
        <source>  COMMAND     ports, get, put, show, diff, backup, restore, history, undo-put,
              flash, monitor, diagnostics or help
</source>
        <translation>  COMMAND     ports, get, put, show, diff, backup, restore, history, undo-put,
              flash, monitor, diagnostics oder help
</translation>
    </message>
    <message>
        <source>  korvalen25-cli help get
  korvalen25-cli get --help               the same
</source>
        <translation>  korvalen25-cli help get
  korvalen25-cli get --help               dasselbe
</translation>
    </message>
    <message>
        <source>  0  shown
  2  no such command
</source>
        <translation>  0  angezeigt
  2  kein solcher Befehl
</translation>
    </message>
    <message>
        <source>Commands:</source>
        <translation>Befehle:</translation>
    </message>
    <message>
        <source>Usage: korvalen25-cli %1

</source>
        <translation>Aufruf: korvalen25-cli %1

</translation>
    </message>
    <message>
        <source>
Arguments:
</source>
        <translation>
Argumente:
</translation>
    </message>
    <message>
        <source>
Options:
</source>
        <translation>
Optionen:
</translation>
    </message>
    <message>
        <source>  --port NAME      the controller to use when more than one answers: a part
                   of its MIDI port name, in any case; without it, when
                   several answer, they are listed and nothing is done
</source>
        <translation>  --port NAME      der zu verwendende Controller, wenn mehr als einer antwortet:
                   ein Teil seines MIDI-Portnamens, Groß- und Kleinschreibung
                   egal; ohne die Option werden sie aufgelistet, wenn mehrere
                   antworten, und nichts geschieht
</translation>
    </message>
    <message>
        <source>  --verbose        print every MIDI message of the command on stderr, in words
</source>
        <translation>  --verbose        jede MIDI-Nachricht des Befehls in Worten auf stderr ausgeben
</translation>
    </message>
    <message>
        <source>  -o, --output FILE  write the report to FILE
</source>
        <translation>  -o, --output FILE  den Bericht in FILE schreiben
</translation>
    </message>
    <message>
        <source>  --json           print the ports as JSON, each with its state as a word
</source>
        <translation>  --json           die Ports als JSON ausgeben, jeden mit seinem Zustand als Wort
</translation>
    </message>
    <message>
        <source>  --json           print the snapshots as JSON
</source>
        <translation>  --json           die Schnappschüsse als JSON ausgeben
</translation>
    </message>
    <message>
        <source>  --force          write a file that names P01, the factory preset, without
                   PRESET
</source>
        <translation>  --force          eine Datei schreiben, die P01, das Werks-Preset, nennt, ohne
                   PRESET
</translation>
    </message>
    <message>
        <source>  --syx            write P01.syx ... P30.syx, SysEx that any MIDI tool can
                   play to the controller, instead of .sav files
</source>
        <translation>  --syx            P01.syx ... P30.syx schreiben, SysEx, das jedes MIDI-Programm
                   an den Controller senden kann, statt .sav-Dateien
</translation>
    </message>
    <message>
        <source>  --json           print the preset as JSON, its values and their raw numbers
                   (the fields are listed in the README)
</source>
        <translation>  --json           das Preset als JSON ausgeben, seine Werte und deren Rohzahlen
                   (die Felder stehen im README)
</translation>
    </message>
    <message>
        <source>  --json           print the differences as JSON, each value&apos;s text and
                   raw number
</source>
        <translation>  --json           die Unterschiede als JSON ausgeben, mit dem Text und der
                   Rohzahl jedes Werts
</translation>
    </message>
    <message>
        <source>  --no-snapshot    write even when the preset to be replaced cannot be read
                   and kept as a snapshot
</source>
        <translation>  --no-snapshot    auch schreiben, wenn das zu ersetzende Preset nicht gelesen
                   und als Schnappschuss aufbewahrt werden kann
</translation>
    </message>
    <message>
        <source>  --from-other     write back a snapshot taken from another controller
                   (a simulated one, or one of another identity or port)
</source>
        <translation>  --from-other     einen Schnappschuss von einem anderen Controller zurückschreiben
                   (einem simulierten, oder einem mit anderer Identität oder
                   anderem Port)
</translation>
    </message>
    <message>
        <source>  -h, --help       show this help
</source>
        <translation>  -h, --help       diese Hilfe zeigen
</translation>
    </message>
    <message>
        <source>
Examples:
</source>
        <translation>
Beispiele:
</translation>
    </message>
    <message>
        <source>
Example:
</source>
        <translation>
Beispiel:
</translation>
    </message>
    <message>
        <source>  2  wrong command line
</source>
        <translation>  2  falsche Befehlszeile
</translation>
    </message>
    <message>
        <source>  2  wrong command line, or several controllers answered and no --port
     chose one
</source>
        <translation>  2  falsche Befehlszeile, oder mehrere Controller haben geantwortet und kein
     --port hat einen gewählt
</translation>
    </message>
    <message>
        <source>
Exit codes:
</source>
        <translation>
Exit-Codes:
</translation>
    </message>
    <message>
        <source>monitoring %1 and %2; Ctrl-C ends</source>
        <translation>beobachte %1 und %2; Strg-C beendet</translation>
    </message>
    <message>
        <source>no message went over the ports</source>
        <translation>keine Nachricht ging über die Ports</translation>
    </message>
    <message>
        <source>cannot write &quot;%1&quot;: %2</source>
        <translation>kann &quot;%1&quot; nicht schreiben: %2</translation>
    </message>
    <message>
        <source>diagnostics report written to %1</source>
        <translation>Diagnosebericht geschrieben in %1</translation>
    </message>
    <message>
        <source>Encoders, %1</source>
        <translation>Drehregler, %1</translation>
    </message>
    <message>
        <source>Function buttons, %1</source>
        <translation>Funktionstasten, %1</translation>
    </message>
    <message>
        <source>Pads, bank %1</source>
        <translation>Pads, Bank %1</translation>
    </message>
    <message>
        <source>%1 (out of range)</source>
        <translation>%1 (außerhalb des Bereichs)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a preset: %2 bytes, far more than the SysEx of a preset</source>
        <translation>&quot;%1&quot; ist kein Preset: %2 Bytes, weit mehr als das SysEx eines Presets</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a preset: %2</source>
        <translation>&quot;%1&quot; ist kein Preset: %2</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a Korvalen25 preset file (it does not begin with KORVALEN25)</source>
        <translation>&quot;%1&quot; ist keine Preset-Datei des Korvalen25 (sie beginnt nicht mit KORVALEN25)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a Korvalen25 preset file: %2 bytes, a preset file has %3</source>
        <translation>&quot;%1&quot; ist keine Preset-Datei des Korvalen25: %2 Bytes, eine Preset-Datei hat %3</translation>
    </message>
    <message>
        <source>cannot write &quot;%1&quot;: preset number %2 cannot be sent as SysEx</source>
        <translation>kann &quot;%1&quot; nicht schreiben: Preset-Nummer %2 kann nicht als SysEx gesendet werden</translation>
    </message>
    <message>
        <source>Preset %1%2
</source>
        <translation>Preset %1%2
</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Edits the presets of the Korvalen25 MIDI controller.</source>
        <translation>Bearbeitet die Presets des MIDI-Controllers Korvalen25.</translation>
    </message>
    <message>
        <source>The MIDI backend: auto (the default), alsa, jack, coremidi, winmm, virtual (a built-in controller emulator) or none. Without the option, the environment variable KORVALEN_MIDI_API names it.</source>
        <translation>Das MIDI-Backend: auto (die Vorgabe), alsa, jack, coremidi, winmm, virtual (ein eingebauter Controller-Emulator) oder none. Ohne die Option nennt es die Umgebungsvariable KORVALEN_MIDI_API.</translation>
    </message>
    <message>
        <source>A preset file to open after start-up.</source>
        <translation>Eine Preset-Datei, die nach dem Start geöffnet wird.</translation>
    </message>
    <message>
        <source>Give at most one preset file; there were %1.</source>
        <translation>Höchstens eine Preset-Datei angeben; es waren %1.</translation>
    </message>
</context>
<context>
    <name>Compare</name>
    <message>
        <source>%1 (out of range)</source>
        <translation>%1 (außerhalb des Bereichs)</translation>
    </message>
</context>
<context>
    <name>CompareWindow</name>
    <message>
        <source>Compare Presets</source>
        <translation>Presets vergleichen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Editor</source>
        <translation>Editor</translation>
    </message>
    <message>
        <source>Control</source>
        <translation>Bedienelement</translation>
    </message>
    <message>
        <source>Bank</source>
        <translation>Bank</translation>
    </message>
    <message>
        <source>Field</source>
        <translation>Feld</translation>
    </message>
    <message>
        <source>%1 and %2 are the same.</source>
        <translation>%1 und %2 sind gleich.</translation>
    </message>
    <message numerus="yes">
        <source>%n difference(s) between %1 and %2.</source>
        <translation>
            <numerusform>%n Unterschied zwischen %1 und %2.</numerusform>
            <numerusform>%n Unterschiede zwischen %1 und %2.</numerusform>
        </translation>
    </message>
    <message>
        <source>The zones&apos; channels are not compared: a preset file holds none.</source>
        <translation>Die Kanäle der Zonen werden nicht verglichen: eine Preset-Datei enthält keine.</translation>
    </message>
    <message>
        <source>Take %1&apos;s value</source>
        <translation>Wert von %1 übernehmen</translation>
    </message>
    <message>
        <source>%1 from %2</source>
        <translation>%1 aus %2</translation>
    </message>
    <message numerus="yes">
        <source>Take %1&apos;s %n values</source>
        <translation>
            <numerusform>%n Wert von %1 übernehmen</numerusform>
            <numerusform>%n Werte von %1 übernehmen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Take all of %1 (%n value(s))</source>
        <translation>
            <numerusform>Alles von %1 übernehmen (%n Wert)</numerusform>
            <numerusform>Alles von %1 übernehmen (%n Werte)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n values from %1</source>
        <translation>
            <numerusform>%n Wert aus %1</numerusform>
            <numerusform>%n Werte aus %1</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ControllerConnection</name>
    <message>
        <source>Looking at new MIDI ports</source>
        <translation>Prüfe neue MIDI-Ports</translation>
    </message>
</context>
<context>
    <name>DownloadCommand</name>
    <message>
        <source>the controller&apos;s MIDI port did not take the request</source>
        <translation>der MIDI-Port des Controllers hat die Anfrage nicht angenommen</translation>
    </message>
    <message>
        <source>the controller did not answer</source>
        <translation>der Controller hat nicht geantwortet</translation>
    </message>
    <message>
        <source>the controller stopped sending before the end</source>
        <translation>der Controller hörte vor dem Ende auf zu senden</translation>
    </message>
    <message>
        <source>part of what the controller sent was lost</source>
        <translation>ein Teil dessen, was der Controller sandte, ging verloren</translation>
    </message>
    <message numerus="yes">
        <source>the controller sent %n value(s) out of range</source>
        <translation>
            <numerusform>der Controller sandte %n Wert außerhalb des Bereichs</numerusform>
            <numerusform>der Controller sandte %n Werte außerhalb des Bereichs</numerusform>
        </translation>
    </message>
    <message>
        <source>the controller sent nothing for %1</source>
        <translation>der Controller sandte nichts für %1</translation>
    </message>
    <message>
        <source>the controller sent another preset</source>
        <translation>der Controller sandte ein anderes Preset</translation>
    </message>
    <message>
        <source>it was stopped</source>
        <translation>es wurde angehalten</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>Download to Korvalen is already waiting for the upload from the controller to end.</source>
        <translation>Download zum Korvalen wartet bereits darauf, dass der Upload vom Controller endet.</translation>
    </message>
    <message>
        <source>Download to Korvalen waits for the upload from the controller to end; it sends the values as they are then.</source>
        <translation>Download zum Korvalen wartet, bis der Upload vom Controller endet; er sendet die Werte, wie sie dann sind.</translation>
    </message>
    <message>
        <source>Download to Korvalen</source>
        <translation>Download zum Korvalen</translation>
    </message>
    <message>
        <source>Download to Korvalen refused: the preset number P%1 cannot be sent to the controller, which takes numbers up to P%2. Upload a preset from the controller, or load a preset file, and download again.</source>
        <translation>Download zum Korvalen abgelehnt: die Preset-Nummer P%1 kann nicht an den Controller gesendet werden, der Nummern bis P%2 annimmt. Ein Preset vom Controller laden (Upload) oder eine Preset-Datei laden und erneut herunterladen.</translation>
    </message>
    <message>
        <source>Reading P%1 from the Korvalen25 to keep it as a snapshot...</source>
        <translation>Lese P%1 vom Korvalen25, um es als Schnappschuss aufzubewahren...</translation>
    </message>
    <message>
        <source>Reading P%1 back from the Korvalen25 to check it...</source>
        <translation>Lese P%1 vom Korvalen25 zur Prüfung zurück...</translation>
    </message>
    <message>
        <source>Downloading P%1 to the Korvalen25...</source>
        <translation>Übertrage P%1 zum Korvalen25...</translation>
    </message>
    <message>
        <source>Some of P%1 did not arrive. Sending it again, more slowly (round %2)...</source>
        <translation>Ein Teil von P%1 kam nicht an. Sende es erneut, langsamer (Runde %2)...</translation>
    </message>
    <message>
        <source>Nothing was downloaded: P%1 could not be kept as a snapshot first. P%1 on the controller was not changed.</source>
        <translation>Nichts wurde übertragen: P%1 konnte nicht zuerst als Schnappschuss aufbewahrt werden. P%1 auf dem Controller wurde nicht verändert.</translation>
    </message>
    <message>
        <source>Download to Korvalen OK: P%1 on the controller now holds the preset that was sent.</source>
        <translation>Download zum Korvalen OK: P%1 auf dem Controller enthält jetzt das gesendete Preset.</translation>
    </message>
    <message>
        <source>P%1 on the controller may now be incomplete.</source>
        <translation>P%1 auf dem Controller ist jetzt womöglich unvollständig.</translation>
    </message>
    <message>
        <source>P%1 on the controller was not changed.</source>
        <translation>P%1 auf dem Controller wurde nicht verändert.</translation>
    </message>
    <message>
        <source>Download to Korvalen stopped. %1</source>
        <translation>Download zum Korvalen angehalten. %1</translation>
    </message>
    <message>
        <source>Download to Korvalen failed: the controller did not take the preset. %1 Check the connection and try again.</source>
        <translation>Download zum Korvalen fehlgeschlagen: der Controller hat das Preset nicht angenommen. %1 Verbindung prüfen und erneut versuchen.</translation>
    </message>
    <message>
        <source>Download to Korvalen sent, not confirmed: the controller did not send P%1 back to check it, so it may not have stored it. Check the controller and download again.</source>
        <translation>Download zum Korvalen gesendet, nicht bestätigt: der Controller hat P%1 nicht zur Prüfung zurückgesendet, er hat es also womöglich nicht gespeichert. Controller prüfen und erneut herunterladen.</translation>
    </message>
    <message>
        <source> and %1 more</source>
        <translation> und %1 weitere</translation>
    </message>
    <message>
        <source>Download to Korvalen failed: after %1 tries, each slower than the one before, these did not arrive on the controller: %2. %3 Check the connection and download again.</source>
        <translation>Download zum Korvalen fehlgeschlagen: nach %1 Versuchen, jeder langsamer als der vorige, kam dies nicht auf dem Controller an: %2. %3 Verbindung prüfen und erneut herunterladen.</translation>
    </message>
    <message>
        <source>Download to Korvalen failed: after %1 tries, each slower than the one before, these did not take on the controller: %2. The rest arrived, so speed is not the cause. %3 Check these values on the controller and download again.</source>
        <translation>Download zum Korvalen fehlgeschlagen: nach %1 Versuchen, jeder langsamer als der vorige, hat der Controller dies nicht übernommen: %2. Der Rest kam an, die Geschwindigkeit ist also nicht die Ursache. %3 Diese Werte auf dem Controller prüfen und erneut herunterladen.</translation>
    </message>
    <message>
        <source>Download to Korvalen failed: after %1 tries, each slower than the one before, these did not arrive on the controller: %2. These did not take on the controller at any speed: %3. %4 Check the connection and these values, and download again.</source>
        <translation>Download zum Korvalen fehlgeschlagen: nach %1 Versuchen, jeder langsamer als der vorige, kam dies nicht auf dem Controller an: %2. Dies hat der Controller bei keiner Geschwindigkeit übernommen: %3. %4 Verbindung und diese Werte prüfen und erneut herunterladen.</translation>
    </message>
    <message>
        <source>Download to Korvalen stopped. P%1 on the controller was not changed.</source>
        <translation>Download zum Korvalen angehalten. P%1 auf dem Controller wurde nicht verändert.</translation>
    </message>
    <message>
        <source>Download to Korvalen failed: the controller is gone (its MIDI ports have vanished). Plug it in and choose Menu &gt; ReConnect. P%1 on the controller was not changed.</source>
        <translation>Download zum Korvalen fehlgeschlagen: der Controller ist weg (seine MIDI-Ports sind verschwunden). Ihn anschließen und Menü &gt; Neu verbinden wählen. P%1 auf dem Controller wurde nicht verändert.</translation>
    </message>
    <message>
        <source>Download to Korvalen failed: the controller did not take the preset. P%1 on the controller was not changed. Check the connection and try again.</source>
        <translation>Download zum Korvalen fehlgeschlagen: der Controller hat das Preset nicht angenommen. P%1 auf dem Controller wurde nicht verändert. Verbindung prüfen und erneut versuchen.</translation>
    </message>
    <message>
        <source>Nothing was downloaded: P%1 could not be kept as a snapshot before it is replaced (%2). Download without a snapshot? What P%1 holds now is then lost.</source>
        <translation>Nichts wurde übertragen: P%1 konnte nicht als Schnappschuss aufbewahrt werden, bevor es ersetzt wird (%2). Ohne Schnappschuss herunterladen? Was P%1 jetzt enthält, geht dann verloren.</translation>
    </message>
    <message>
        <source>Download without snapshot</source>
        <translation>Ohne Schnappschuss herunterladen</translation>
    </message>
    <message>
        <source>Download to Korvalen: nothing sent, P%1 could not be kept as a snapshot.</source>
        <translation>Download zum Korvalen: nichts gesendet, P%1 konnte nicht als Schnappschuss aufbewahrt werden.</translation>
    </message>
    <message>
        <source>Reading P%1 from the controller waits for the upload from the controller to end.</source>
        <translation>Das Lesen von P%1 vom Controller wartet, bis der Upload vom Controller endet.</translation>
    </message>
    <message>
        <source>Reading P%1 from the controller</source>
        <translation>Lese P%1 vom Controller</translation>
    </message>
    <message>
        <source>Download to Korvalen OK</source>
        <translation>Download zum Korvalen OK</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Download to Korvalen,are you sure?</source>
        <translation>Zum Korvalen herunterladen, sind Sie sicher?</translation>
    </message>
</context>
<context>
    <name>Dump</name>
    <message>
        <source>the preset number</source>
        <translation>die Preset-Nummer</translation>
    </message>
    <message>
        <source>the zone values</source>
        <translation>die Zonenwerte</translation>
    </message>
</context>
<context>
    <name>EditHistory</name>
    <message>
        <source>Edited: not downloaded or saved</source>
        <translation>Bearbeitet: nicht übertragen oder gespeichert</translation>
    </message>
    <message>
        <source>Same as on the controller</source>
        <translation>Wie auf dem Controller</translation>
    </message>
    <message>
        <source>Same as %1</source>
        <translation>Wie %1</translation>
    </message>
    <message>
        <source>E%1, bank %2</source>
        <translation>E%1, Bank %2</translation>
    </message>
    <message>
        <source>F%1, bank %2</source>
        <translation>F%1, Bank %2</translation>
    </message>
    <message>
        <source>P%1, bank %2</source>
        <translation>P%1, Bank %2</translation>
    </message>
    <message>
        <source>Zone %1</source>
        <translation>Zone %1</translation>
    </message>
    <message>
        <source>several controls</source>
        <translation>mehrere Bedienelemente</translation>
    </message>
</context>
<context>
    <name>FollowController</name>
    <message>
        <source>&amp;Follow the Controller</source>
        <translation>Dem Controller &amp;folgen</translation>
    </message>
    <message>
        <source>Show the control you touch on the controller</source>
        <translation>Zeigt das Bedienelement, das Sie am Controller berühren</translation>
    </message>
    <message>
        <source>CC %1</source>
        <translation>CC %1</translation>
    </message>
    <message>
        <source>Note %1</source>
        <translation>Note %1</translation>
    </message>
    <message>
        <source>%1 on channel %2</source>
        <translation>%1 auf Kanal %2</translation>
    </message>
    <message>
        <source>Zone %1</source>
        <translation>Zone %1</translation>
    </message>
    <message>
        <source>E%1 bank %2</source>
        <translation>E%1 Bank %2</translation>
    </message>
    <message>
        <source>F%1 bank %2</source>
        <translation>F%1 Bank %2</translation>
    </message>
    <message>
        <source>P%1 bank %2</source>
        <translation>P%1 Bank %2</translation>
    </message>
    <message>
        <source>%1: no control of this preset sends it</source>
        <translation>%1: kein Bedienelement dieses Presets sendet das</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>, </source>
        <translation>, </translation>
    </message>
</context>
<context>
    <name>FunctionsPage</name>
    <message>
        <source>Type:</source>
        <translation>Typ:</translation>
    </message>
    <message>
        <source>Val:</source>
        <translation>Wert:</translation>
    </message>
    <message>
        <source>Chan:</source>
        <translation>Kanal:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Mode:</source>
        <translation>Modus:</translation>
    </message>
    <message>
        <source>F1</source>
        <translation>F1</translation>
    </message>
    <message>
        <source>F2</source>
        <translation>F2</translation>
    </message>
    <message>
        <source>F3</source>
        <translation>F3</translation>
    </message>
    <message>
        <source>F4</source>
        <translation>F4</translation>
    </message>
</context>
<context>
    <name>Korvalen49_Test</name>
    <message>
        <source>More than one Korvalen25 answered.
Which one should the editor use? It is remembered for the next start.</source>
        <translation>Mehr als ein Korvalen25 hat geantwortet.
Welchen soll der Editor verwenden? Die Wahl wird für den nächsten Start gemerkt.</translation>
    </message>
    <message>
        <source>Connecting to the Korvalen25</source>
        <translation>Verbinde mit dem Korvalen25</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Rückgängig</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>&amp;Wiederholen</translation>
    </message>
    <message>
        <source>%1 %2</source>
        <translation>%1 %2</translation>
    </message>
    <message>
        <source>MIDI Ports</source>
        <translation>MIDI-Ports</translation>
    </message>
    <message>
        <source>No Korvalen25 answered on the new MIDI port(s) %1. Menu &gt; MIDI Ports shows what each port did.</source>
        <translation>Kein Korvalen25 hat an den neuen MIDI-Ports %1 geantwortet. Menü &gt; MIDI-Ports zeigt, was jeder Port tat.</translation>
    </message>
    <message>
        <source>Upload stopped: a firmware upgrade took the MIDI ports. The values from before the upload are back.</source>
        <translation>Upload angehalten: ein Firmware-Update hat die MIDI-Ports übernommen. Die Werte von vor dem Upload sind zurück.</translation>
    </message>
    <message>
        <source>The editor is searching for the controller. Try again when the search has ended.</source>
        <translation>Der Editor sucht den Controller. Erneut versuchen, wenn die Suche beendet ist.</translation>
    </message>
    <message>
        <source>Reading the controller&apos;s preset 0</source>
        <translation>Lese Preset 0 des Controllers</translation>
    </message>
    <message>
        <source>Connect OK. Your edits were kept; DownLoad sends them to the controller.</source>
        <translation>Verbindung OK. Ihre Änderungen wurden behalten; Download sendet sie an den Controller.</translation>
    </message>
    <message>
        <source>A firmware upgrade is using the MIDI ports. Reconnect when it has ended.</source>
        <translation>Ein Firmware-Update verwendet die MIDI-Ports. Erneut verbinden, wenn es beendet ist.</translation>
    </message>
    <message>
        <source>A download to the controller is still under way. Reconnect when it has ended.</source>
        <translation>Ein Download zum Controller läuft noch. Erneut verbinden, wenn er beendet ist.</translation>
    </message>
    <message>
        <source>Upload stopped: searching for the controller again. The values from before the upload are back.</source>
        <translation>Upload angehalten: der Controller wird erneut gesucht. Die Werte von vor dem Upload sind zurück.</translation>
    </message>
    <message>
        <source>Searching for the controller...</source>
        <translation>Suche den Controller...</translation>
    </message>
    <message>
        <source>Controller lost (%1)</source>
        <translation>Controller verloren (%1)</translation>
    </message>
    <message>
        <source>Controller on %1</source>
        <translation>Controller an %1</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>Nicht verbunden</translation>
    </message>
    <message>
        <source>Upload failed: the controller was lost. The values from before the upload are back.</source>
        <translation>Upload fehlgeschlagen: der Controller ging verloren. Die Werte von vor dem Upload sind zurück.</translation>
    </message>
    <message>
        <source>The editor is searching for the controller on the MIDI ports. Press Start again when the search has ended.</source>
        <translation>Der Editor sucht den Controller an den MIDI-Ports. Start erneut drücken, wenn die Suche beendet ist.</translation>
    </message>
    <message>
        <source>The editor is downloading a preset to the controller. Press Start again when the download has ended.</source>
        <translation>Der Editor überträgt gerade ein Preset zum Controller. Start erneut drücken, wenn der Download beendet ist.</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>P%1 is being downloaded to the controller. Stopping now could leave it incomplete there. Close the editor when the download has ended?</source>
        <translation>P%1 wird gerade zum Controller übertragen. Ein Abbruch jetzt könnte es dort unvollständig lassen. Den Editor schließen, wenn der Download beendet ist?</translation>
    </message>
    <message>
        <source>Close when the download has ended</source>
        <translation>Schließen, wenn der Download beendet ist</translation>
    </message>
    <message>
        <source>The editor closes when the download has ended.</source>
        <translation>Der Editor schließt sich, wenn der Download beendet ist.</translation>
    </message>
    <message>
        <source>The preset has edits that were neither downloaded to the controller nor saved to a file. Closing the editor loses them.</source>
        <translation>Das Preset hat Änderungen, die weder zum Controller übertragen noch in einer Datei gespeichert wurden. Beim Schließen des Editors gehen sie verloren.</translation>
    </message>
    <message>
        <source>The preset has edits that were neither downloaded to the controller nor saved to a file. %1 replaces them.</source>
        <translation>Das Preset hat Änderungen, die weder zum Controller übertragen noch in einer Datei gespeichert wurden. %1 ersetzt sie.</translation>
    </message>
    <message>
        <source>Discard edits</source>
        <translation>Änderungen verwerfen</translation>
    </message>
    <message>
        <source>Keep edits</source>
        <translation>Änderungen behalten</translation>
    </message>
    <message>
        <source>Redone: %1</source>
        <translation>Wiederholt: %1</translation>
    </message>
    <message>
        <source>Undone: %1</source>
        <translation>Rückgängig gemacht: %1</translation>
    </message>
    <message>
        <source>An upload is under way. Undo and redo work again when it has ended.</source>
        <translation>Ein Upload läuft. Rückgängig und Wiederholen gehen wieder, wenn er beendet ist.</translation>
    </message>
    <message>
        <source>Upload stopped: a preset file is loaded instead.</source>
        <translation>Upload angehalten: stattdessen wird eine Preset-Datei geladen.</translation>
    </message>
    <message>
        <source>Upload</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>Uploading &quot;%1&quot;</source>
        <translation>Upload von &quot;%1&quot;</translation>
    </message>
    <message>
        <source>Diagnostics</source>
        <translation>Diagnose</translation>
    </message>
    <message>
        <source>MIDI Monitor</source>
        <translation>MIDI-Monitor</translation>
    </message>
    <message>
        <source>Diagnostics Report...</source>
        <translation>Diagnosebericht...</translation>
    </message>
    <message>
        <source>the MIDI Monitor has no lines</source>
        <translation>der MIDI-Monitor hat keine Zeilen</translation>
    </message>
    <message>
        <source>the MIDI Monitor was not open: open Diagnostics &gt; MIDI Monitor, do again what went wrong, and make the report again</source>
        <translation>der MIDI-Monitor war nicht offen: Diagnose &gt; MIDI-Monitor öffnen, das Fehlgeschlagene wiederholen und den Bericht erneut erstellen</translation>
    </message>
    <message>
        <source>Save the diagnostics report (it is on the clipboard already)</source>
        <translation>Den Diagnosebericht speichern (er ist bereits in der Zwischenablage)</translation>
    </message>
    <message>
        <source>Text files (*.txt);;All files (*)</source>
        <translation>Textdateien (*.txt);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Diagnostics Report</source>
        <translation>Diagnosebericht</translation>
    </message>
    <message>
        <source>The report was written to &quot;%1&quot; and is on the clipboard, ready to attach to a bug report.</source>
        <translation>Der Bericht wurde nach &quot;%1&quot; geschrieben und ist in der Zwischenablage, bereit zum Anhängen an eine Fehlermeldung.</translation>
    </message>
    <message>
        <source>The report could not be written to &quot;%1&quot;: %2. It is on the clipboard.</source>
        <translation>Der Bericht konnte nicht nach &quot;%1&quot; geschrieben werden: %2. Er ist in der Zwischenablage.</translation>
    </message>
    <message>
        <source>Connect Error</source>
        <translation>Verbindungsfehler</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>Verbindung</translation>
    </message>
    <message>
        <source>Connect Error!</source>
        <translation>Verbindungsfehler!</translation>
    </message>
    <message>
        <source>Connect OK</source>
        <translation>Verbindung OK</translation>
    </message>
    <message>
        <source>Korvalen25 Editor--------%1</source>
        <translation>Korvalen25 Editor--------%1</translation>
    </message>
    <message>
        <source>&amp;Export .syx...</source>
        <translation>&amp;Exportieren als .syx...</translation>
    </message>
    <message>
        <source>&amp;Import .syx...</source>
        <translation>&amp;Importieren aus .syx...</translation>
    </message>
</context>
<context>
    <name>Korvalen49_TestClass</name>
    <message>
        <source>Korvalen25 Editor </source>
        <translation>Korvalen25 Editor </translation>
    </message>
    <message>
        <source> P1</source>
        <translation> P1</translation>
    </message>
    <message>
        <source> P2</source>
        <translation> P2</translation>
    </message>
    <message>
        <source> P3</source>
        <translation> P3</translation>
    </message>
    <message>
        <source> P4</source>
        <translation> P4</translation>
    </message>
    <message>
        <source>PAD BANK</source>
        <translation>PAD BANK</translation>
    </message>
    <message>
        <source>&lt;&lt;</source>
        <translation>&lt;&lt;</translation>
    </message>
    <message>
        <source>&gt;&gt;</source>
        <translation>&gt;&gt;</translation>
    </message>
    <message>
        <source>#</source>
        <translation>#</translation>
    </message>
    <message>
        <source>&gt;</source>
        <translation>&gt;</translation>
    </message>
    <message>
        <source>O</source>
        <translation>O</translation>
    </message>
    <message>
        <source>S1</source>
        <translation>S1</translation>
    </message>
    <message>
        <source>BANK</source>
        <translation>BANK</translation>
    </message>
    <message>
        <source>Zone1:Piano</source>
        <translation>Zone1:Piano</translation>
    </message>
    <message>
        <source>Zone2:Piano</source>
        <translation>Zone2:Piano</translation>
    </message>
    <message>
        <source>Zone3:Piano</source>
        <translation>Zone3:Piano</translation>
    </message>
    <message>
        <source>CC:</source>
        <translation>CC:</translation>
    </message>
    <message>
        <source>Chan:</source>
        <translation>Kanal:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>E1</source>
        <translation>E1</translation>
    </message>
    <message>
        <source>E2</source>
        <translation>E2</translation>
    </message>
    <message>
        <source>E3</source>
        <translation>E3</translation>
    </message>
    <message>
        <source>E4</source>
        <translation>E4</translation>
    </message>
    <message>
        <source>E5</source>
        <translation>E5</translation>
    </message>
    <message>
        <source>E6</source>
        <translation>E6</translation>
    </message>
    <message>
        <source>E7</source>
        <translation>E7</translation>
    </message>
    <message>
        <source>E8</source>
        <translation>E8</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Menü</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>ReConnect</source>
        <translation>Neu verbinden</translation>
    </message>
    <message>
        <source>Upload</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>DownLoad</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>Save to file</source>
        <translation>In Datei speichern</translation>
    </message>
    <message>
        <source>Load from file</source>
        <translation>Aus Datei laden</translation>
    </message>
    <message>
        <source>Upgrade</source>
        <translation>Firmware aktualisieren</translation>
    </message>
</context>
<context>
    <name>Library</name>
    <message>
        <source>Compare with Controller</source>
        <translation>Mit Controller vergleichen</translation>
    </message>
    <message>
        <source>%1 could not be read from the controller to compare it. Check the connection and try again.</source>
        <translation>%1 konnte zum Vergleichen nicht vom Controller gelesen werden. Verbindung prüfen und erneut versuchen.</translation>
    </message>
    <message>
        <source>%1 on the controller</source>
        <translation>%1 auf dem Controller</translation>
    </message>
    <message>
        <source>Compare with File</source>
        <translation>Mit Datei vergleichen</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>Bibliothek</translation>
    </message>
    <message>
        <source>Preset Library...</source>
        <translation>Preset-Bibliothek...</translation>
    </message>
    <message>
        <source>Compare with File...</source>
        <translation>Mit Datei vergleichen...</translation>
    </message>
    <message>
        <source>Save Files(*.sav)</source>
        <translation>Preset-Dateien (*.sav)</translation>
    </message>
    <message>
        <source>SysEx Files (*.syx)</source>
        <translation>SysEx-Dateien (*.syx)</translation>
    </message>
</context>
<context>
    <name>LibraryWindow</name>
    <message>
        <source>Preset Library</source>
        <translation>Preset-Bibliothek</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Preset</source>
        <translation>Preset</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Datum</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>Art</translation>
    </message>
    <message>
        <source>Filter by name, preset or kind</source>
        <translation>Nach Name, Preset oder Art filtern</translation>
    </message>
    <message>
        <source>Name for the editor&apos;s preset</source>
        <translation>Name für das Preset des Editors</translation>
    </message>
    <message>
        <source>Folder...</source>
        <translation>Ordner...</translation>
    </message>
    <message>
        <source>Library Folder</source>
        <translation>Bibliotheksordner</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>Umbenennen</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Compare</source>
        <translation>Vergleichen</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>Save Editor&apos;s Preset</source>
        <translation>Preset des Editors speichern</translation>
    </message>
    <message>
        <source>Snapshot (simulated)</source>
        <translation>Schnappschuss (simuliert)</translation>
    </message>
    <message>
        <source>Snapshot</source>
        <translation>Schnappschuss</translation>
    </message>
    <message>
        <source>Not a preset</source>
        <translation>Kein Preset</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>Bibliothek</translation>
    </message>
    <message>
        <source>&quot;%1&quot; cannot be a file name: it holds a slash.</source>
        <translation>&quot;%1&quot; kann kein Dateiname sein: er enthält einen Schrägstrich.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is in the library already: choose another name.</source>
        <translation>&quot;%1&quot; ist bereits in der Bibliothek: bitte einen anderen Namen wählen.</translation>
    </message>
    <message>
        <source>The preset could not be saved: %1</source>
        <translation>Das Preset konnte nicht gespeichert werden: %1</translation>
    </message>
    <message>
        <source>Saved as %1.</source>
        <translation>Gespeichert als %1.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; cannot be renamed to &quot;%2&quot;: the name is empty, holds a slash or is taken.</source>
        <translation>&quot;%1&quot; kann nicht in &quot;%2&quot; umbenannt werden: der Name ist leer, enthält einen Schrägstrich oder ist vergeben.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was not renamed: &quot;%2&quot; is in the way and cannot be removed.</source>
        <translation>&quot;%1&quot; wurde nicht umbenannt: &quot;%2&quot; ist im Weg und kann nicht entfernt werden.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was not renamed: its zone channels file &quot;%2&quot; cannot be moved.</source>
        <translation>&quot;%1&quot; wurde nicht umbenannt: seine Datei mit den Zonenkanälen &quot;%2&quot; kann nicht verschoben werden.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; could not be renamed.</source>
        <translation>&quot;%1&quot; konnte nicht umbenannt werden.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; could not be renamed, and its zone channels are now in &quot;%2&quot;: rename that file back to &quot;%3&quot;.</source>
        <translation>&quot;%1&quot; konnte nicht umbenannt werden, und seine Zonenkanäle liegen jetzt in &quot;%2&quot;: diese Datei zurück in &quot;%3&quot; umbenennen.</translation>
    </message>
    <message>
        <source>Renamed to %1.</source>
        <translation>Umbenannt in %1.</translation>
    </message>
    <message>
        <source>%1 was moved to the trash.</source>
        <translation>%1 wurde in den Papierkorb verschoben.</translation>
    </message>
    <message>
        <source>%1 stays, but its zone channels went to the trash and cannot come back: restore &quot;%2&quot; from the trash.</source>
        <translation>%1 bleibt, aber seine Zonenkanäle kamen in den Papierkorb und können nicht zurückkommen: &quot;%2&quot; aus dem Papierkorb wiederherstellen.</translation>
    </message>
    <message>
        <source>%1 cannot be moved to a trash. Delete it for good?</source>
        <translation>%1 kann nicht in einen Papierkorb verschoben werden. Endgültig löschen?</translation>
    </message>
    <message>
        <source>%1 was deleted.</source>
        <translation>%1 wurde gelöscht.</translation>
    </message>
    <message>
        <source>%1 was not deleted whole: %2</source>
        <translation>%1 wurde nicht vollständig gelöscht: %2</translation>
    </message>
    <message>
        <source>%1 was taken from %2, not from %3 connected now. Download it to this controller anyway?</source>
        <translation>%1 stammt von einem anderen Controller (aufgenommen: %2; jetzt verbunden: %3). Trotzdem zu diesem Controller herunterladen?</translation>
    </message>
    <message>
        <source>Nothing was downloaded.</source>
        <translation>Nichts wurde übertragen.</translation>
    </message>
    <message>
        <source>Downloading &quot;%1&quot; as %2</source>
        <translation>Übertrage &quot;%1&quot; als %2</translation>
    </message>
    <message>
        <source>Load from library</source>
        <translation>Aus der Bibliothek laden</translation>
    </message>
    <message>
        <source>&quot;%1&quot; goes to %2; the editor tells how the download ends.</source>
        <translation>&quot;%1&quot; geht nach %2; der Editor meldet, wie der Download endet.</translation>
    </message>
    <message>
        <source>Not a preset (.syx)</source>
        <translation>Kein Preset (.syx)</translation>
    </message>
    <message>
        <source>Library (.syx)</source>
        <translation>Bibliothek (.syx)</translation>
    </message>
</context>
<context>
    <name>MidiServer</name>
    <message>
        <source>jackd %1, its buffer size left as it is</source>
        <translation>jackd %1, Puffergröße unverändert</translation>
    </message>
    <message>
        <source>PipeWire %1, no quantum asked</source>
        <translation>PipeWire %1, kein Quantum angefordert</translation>
    </message>
    <message>
        <source>PipeWire %1, quantum %2 asked during transfers</source>
        <translation>PipeWire %1, Quantum %2 während Übertragungen angefordert</translation>
    </message>
    <message>
        <source>PipeWire %1, no quantum asked: MIDI does not run in real time</source>
        <translation>PipeWire %1, kein Quantum angefordert: MIDI läuft nicht in Echtzeit</translation>
    </message>
</context>
<context>
    <name>MonitorWindow</name>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>MIDI Monitor</source>
        <translation>MIDI-Monitor</translation>
    </message>
    <message>
        <source>All messages</source>
        <translation>Alle Nachrichten</translation>
    </message>
    <message>
        <source>Only %1 messages</source>
        <translation>Nur %1-Nachrichten</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Save as Text...</source>
        <translation>Als Text speichern...</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>Fortsetzen</translation>
    </message>
    <message numerus="yes">
        <source>%n line(s) came while the monitor was paused and are not listed</source>
        <translation>
            <numerusform>%n Zeile kam, während der Monitor pausierte, und ist nicht aufgeführt</numerusform>
            <numerusform>%n Zeilen kamen, während der Monitor pausierte, und sind nicht aufgeführt</numerusform>
        </translation>
    </message>
    <message>
        <source>Save the MIDI Monitor&apos;s lines</source>
        <translation>Die Zeilen des MIDI-Monitors speichern</translation>
    </message>
    <message>
        <source>Text files (*.txt);;All files (*)</source>
        <translation>Textdateien (*.txt);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>The lines could not be saved to &quot;%1&quot;: %2</source>
        <translation>Die Zeilen konnten nicht nach &quot;%1&quot; gespeichert werden: %2</translation>
    </message>
    <message>
        <source>%1 lines</source>
        <translation>%1 Zeilen</translation>
    </message>
    <message>
        <source>%1 of %2 lines</source>
        <translation>%1 von %2 Zeilen</translation>
    </message>
</context>
<context>
    <name>PadsPage</name>
    <message>
        <source>Type:</source>
        <translation>Typ:</translation>
    </message>
    <message>
        <source>Val:</source>
        <translation>Wert:</translation>
    </message>
    <message>
        <source>Chan:</source>
        <translation>Kanal:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Mode:</source>
        <translation>Modus:</translation>
    </message>
</context>
<context>
    <name>PortsDialog</name>
    <message>
        <source>could not be opened (in use by another program?)</source>
        <translation>konnte nicht geöffnet werden (von einem anderen Programm belegt?)</translation>
    </message>
    <message>
        <source>could not be opened: it had vanished</source>
        <translation>konnte nicht geöffnet werden: er war verschwunden</translation>
    </message>
    <message>
        <source>could not be opened</source>
        <translation>konnte nicht geöffnet werden</translation>
    </message>
    <message>
        <source>not tried (the search ended before it)</source>
        <translation>nicht versucht (die Suche endete vorher)</translation>
    </message>
    <message>
        <source>opened; an answer came in on it</source>
        <translation>geöffnet; eine Antwort kam darauf an</translation>
    </message>
    <message>
        <source>opened; no answer came in on it</source>
        <translation>geöffnet; keine Antwort kam darauf an</translation>
    </message>
    <message>
        <source>opened; the probe could not be sent</source>
        <translation>geöffnet; die Abfrage konnte nicht gesendet werden</translation>
    </message>
    <message>
        <source>opened; took the probe; answered</source>
        <translation>geöffnet; Abfrage angenommen; geantwortet</translation>
    </message>
    <message>
        <source>opened; took the probe; no answer</source>
        <translation>geöffnet; Abfrage angenommen; keine Antwort</translation>
    </message>
    <message>
        <source>the controller</source>
        <translation>der Controller</translation>
    </message>
    <message>
        <source>ALSA-to-JACK bridge</source>
        <translation>ALSA-zu-JACK-Brücke</translation>
    </message>
    <message>
        <source>not there at the last search</source>
        <translation>bei der letzten Suche nicht vorhanden</translation>
    </message>
    <message>
        <source>gone since the last search</source>
        <translation>seit der letzten Suche verschwunden</translation>
    </message>
    <message>
        <source>In</source>
        <translation>Ein</translation>
    </message>
    <message>
        <source>Out</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>no search yet</source>
        <translation>noch keine Suche</translation>
    </message>
    <message>
        <source>found the controller on %1</source>
        <translation>Controller an %1 gefunden</translation>
    </message>
    <message>
        <source>cancelled in attempt %1</source>
        <translation>abgebrochen bei Versuch %1</translation>
    </message>
    <message>
        <source>no controller answered (attempts: %1)</source>
        <translation>kein Controller hat geantwortet (Versuche: %1)</translation>
    </message>
    <message>
        <source>MIDI backend: %1. Last search: %2.</source>
        <translation>MIDI-Backend: %1. Letzte Suche: %2.</translation>
    </message>
    <message>
        <source>A port marked &quot;ALSA-to-JACK bridge&quot; drops every MIDI message over %1 bytes: preset uploads and firmware upgrades through it fail. Start the editor with --midi-api alsa to reach the controller directly.</source>
        <translation>Ein als &quot;ALSA-zu-JACK-Brücke&quot; markierter Port verwirft jede MIDI-Nachricht über %1 Bytes: Preset-Uploads und Firmware-Updates darüber schlagen fehl. Den Editor mit --midi-api alsa starten, um den Controller direkt zu erreichen.</translation>
    </message>
    <message>
        <source>MIDI Ports</source>
        <translation>MIDI-Ports</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Last search</source>
        <translation>Letzte Suche</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>Hinweis</translation>
    </message>
    <message>
        <source>MIDI backend: %1 (%2). Last search: %3.</source>
        <translation>MIDI-Backend: %1 (%2). Letzte Suche: %3.</translation>
    </message>
</context>
<context>
    <name>PresetField</name>
    <message>
        <source>type</source>
        <translation>Typ</translation>
    </message>
    <message>
        <source>number</source>
        <translation>Nummer</translation>
    </message>
    <message>
        <source>channel</source>
        <translation>Kanal</translation>
    </message>
    <message>
        <source>port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>mode</source>
        <translation>Modus</translation>
    </message>
    <message>
        <source>on/off</source>
        <translation>ein/aus</translation>
    </message>
    <message>
        <source>program</source>
        <translation>Programm</translation>
    </message>
    <message>
        <source>bank MSB</source>
        <translation>Bank-MSB</translation>
    </message>
    <message>
        <source>bank LSB</source>
        <translation>Bank-LSB</translation>
    </message>
    <message>
        <source>lowest key</source>
        <translation>tiefste Taste</translation>
    </message>
    <message>
        <source>highest key</source>
        <translation>höchste Taste</translation>
    </message>
    <message>
        <source>octave</source>
        <translation>Oktave</translation>
    </message>
    <message>
        <source>transpose</source>
        <translation>Transponierung</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>type and mode</source>
        <translation>Typ und Modus</translation>
    </message>
</context>
<context>
    <name>PresetFileCommands</name>
    <message>
        <source>Save Files(*.sav)</source>
        <translation>Preset-Dateien (*.sav)</translation>
    </message>
    <message>
        <source>The file is empty.</source>
        <translation>Die Datei ist leer.</translation>
    </message>
    <message>
        <source>It does not begin with &quot;KORVALEN25&quot; as a preset file does.</source>
        <translation>Sie beginnt nicht mit &quot;KORVALEN25&quot; wie eine Preset-Datei.</translation>
    </message>
    <message>
        <source>It is too short: %1 of the %2 bytes of a preset file.</source>
        <translation>Sie ist zu kurz: %1 der %2 Bytes einer Preset-Datei.</translation>
    </message>
    <message>
        <source>Save to file</source>
        <translation>In Datei speichern</translation>
    </message>
    <message>
        <source>The preset could not be saved to &quot;%1&quot;: %2</source>
        <translation>Das Preset konnte nicht in &quot;%1&quot; gespeichert werden: %2</translation>
    </message>
    <message>
        <source>Open to Load</source>
        <translation>Zum Laden öffnen</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Loading &quot;%1&quot;</source>
        <translation>Lade &quot;%1&quot;</translation>
    </message>
    <message>
        <source>&quot;%1&quot; could not be opened: %2</source>
        <translation>&quot;%1&quot; konnte nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is too large to be a preset.</source>
        <translation>&quot;%1&quot; ist zu groß für ein Preset.</translation>
    </message>
    <message>
        <source>Load from file</source>
        <translation>Aus Datei laden</translation>
    </message>
    <message numerus="yes">
        <source>Loaded, but %n value(s) in the file were out of range and were not taken; those settings kept their previous values.</source>
        <translation>
            <numerusform>Geladen, aber %n Wert in der Datei lag außerhalb des Bereichs und wurde nicht übernommen; diese Einstellung behielt ihren vorigen Wert.</numerusform>
            <numerusform>Geladen, aber %n Werte in der Datei lagen außerhalb des Bereichs und wurden nicht übernommen; diese Einstellungen behielten ihre vorigen Werte.</numerusform>
        </translation>
    </message>
    <message>
        <source>Load From File</source>
        <translation>Aus Datei laden</translation>
    </message>
    <message>
        <source>File Can not be accepted!
%1</source>
        <translation>Datei kann nicht übernommen werden!
%1</translation>
    </message>
    <message>
        <source>Load OK!</source>
        <translation>Laden OK!</translation>
    </message>
    <message>
        <source>SysEx Files (*.syx)</source>
        <translation>SysEx-Dateien (*.syx)</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Exportieren</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>Importieren</translation>
    </message>
    <message>
        <source>Nothing was exported: preset number P%1 cannot be sent to the controller, which takes numbers up to P%2. Upload a preset from the controller, or load a preset file, and export again.</source>
        <translation>Nichts wurde exportiert: Die Presetnummer P%1 kann nicht an den Controller gesendet werden, er nimmt Nummern bis P%2 an. Laden Sie ein Preset vom Controller hoch oder laden Sie eine Presetdatei, und exportieren Sie erneut.</translation>
    </message>
    <message>
        <source>The preset could not be exported to &quot;%1&quot;: %2</source>
        <translation>Das Preset konnte nicht nach „%1“ exportiert werden: %2</translation>
    </message>
    <message>
        <source>Exported P%1 to %2.</source>
        <translation>P%1 nach %2 exportiert.</translation>
    </message>
</context>
<context>
    <name>PresetHistory</name>
    <message>
        <source>cannot write &quot;%1&quot;: %2; the files there before are unchanged</source>
        <translation>kann &quot;%1&quot; nicht schreiben: %2; die Dateien, die vorher dort lagen, sind unverändert</translation>
    </message>
    <message>
        <source>cannot write &quot;%1&quot;: %2</source>
        <translation>kann &quot;%1&quot; nicht schreiben: %2</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was written, but the zone channels beside it could not be (%2)</source>
        <translation>&quot;%1&quot; wurde geschrieben, die Zonenkanäle daneben aber nicht (%2)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was written, but the zone channels beside it could not be (%2); remove the old &quot;%3&quot; by hand</source>
        <translation>&quot;%1&quot; wurde geschrieben, die Zonenkanäle daneben aber nicht (%2); die alte Datei &quot;%3&quot; von Hand entfernen</translation>
    </message>
    <message>
        <source>cannot remove &quot;%1&quot;: %2</source>
        <translation>kann &quot;%1&quot; nicht entfernen: %2</translation>
    </message>
    <message>
        <source>cannot read &quot;%1&quot;: %2</source>
        <translation>kann &quot;%1&quot; nicht lesen: %2</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a Korvalen25 preset file</source>
        <translation>&quot;%1&quot; ist keine Preset-Datei des Korvalen25</translation>
    </message>
    <message>
        <source>an unknown controller</source>
        <translation>ein unbekannter Controller</translation>
    </message>
    <message>
        <source>the simulated controller &quot;%1&quot; (%2)</source>
        <translation>der simulierte Controller &quot;%1&quot; (%2)</translation>
    </message>
    <message>
        <source>the controller &quot;%1&quot; (%2)</source>
        <translation>der Controller &quot;%1&quot; (%2)</translation>
    </message>
    <message>
        <source>the simulated controller &quot;%1&quot; (%2, identity %3)</source>
        <translation>der simulierte Controller &quot;%1&quot; (%2, Identität %3)</translation>
    </message>
    <message>
        <source>the controller &quot;%1&quot; (%2, identity %3)</source>
        <translation>der Controller &quot;%1&quot; (%2, Identität %3)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a whole dump of a preset</source>
        <translation>&quot;%1&quot; ist kein vollständiger Dump eines Presets</translation>
    </message>
    <message>
        <source>cannot create the folder &quot;%1&quot;</source>
        <translation>kann den Ordner &quot;%1&quot; nicht anlegen</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a preset: %2</source>
        <translation>&quot;%1&quot; ist kein Preset: %2</translation>
    </message>
    <message>
        <source>it is far larger than the SysEx of a preset</source>
        <translation>sie ist weit größer als das SysEx eines Presets</translation>
    </message>
</context>
<context>
    <name>QInputDialog</name>
    <message>
        <source>%1  (input: %2)</source>
        <translation>%1  (Eingang: %2)</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>%1 failed: the controller is not connected. Connect it and choose Menu &gt; ReConnect.</source>
        <translation>%1 fehlgeschlagen: der Controller ist nicht verbunden. Ihn verbinden und Menü &gt; Neu verbinden wählen.</translation>
    </message>
    <message>
        <source>%1 failed: the controller is gone (its MIDI ports have vanished). Plug it in and choose Menu &gt; ReConnect.</source>
        <translation>%1 fehlgeschlagen: der Controller ist weg (seine MIDI-Ports sind verschwunden). Ihn anschließen und Menü &gt; Neu verbinden wählen.</translation>
    </message>
    <message>
        <source>%1 failed: the editor is searching for the controller. Try again when the search has ended.</source>
        <translation>%1 fehlgeschlagen: der Editor sucht den Controller. Erneut versuchen, wenn die Suche beendet ist.</translation>
    </message>
    <message>
        <source>%1 failed: a download to the controller is still under way. Try again when it has ended.</source>
        <translation>%1 fehlgeschlagen: ein Download zum Controller läuft noch. Erneut versuchen, wenn er beendet ist.</translation>
    </message>
    <message>
        <source>About Korvalen25 Editor</source>
        <translation>Über Korvalen25 Editor</translation>
    </message>
    <message>
        <source>A preset editor for the Korvalen25 USB MIDI keyboard controller.</source>
        <translation>Ein Preset-Editor für den USB-MIDI-Keyboard-Controller Korvalen25.</translation>
    </message>
    <message>
        <source>%1 &gt; %2</source>
        <translation>%1 &gt; %2</translation>
    </message>
    <message>
        <source>Alt+underlined letter</source>
        <translation>Alt+unterstrichener Buchstabe</translation>
    </message>
    <message>
        <source>Opens that menu; in an open menu, chooses that entry</source>
        <translation>Öffnet dieses Menü; in einem offenen Menü wählt er diesen Eintrag</translation>
    </message>
    <message>
        <source>Tab, Shift+Tab</source>
        <translation>Tab, Umschalt+Tab</translation>
    </message>
    <message>
        <source>Move through the boxes of the shown page, then through the parts of the controller picture</source>
        <translation>Durch die Felder der angezeigten Seite gehen, dann durch die Teile des Controller-Bilds</translation>
    </message>
    <message>
        <source>Arrow keys</source>
        <translation>Pfeiltasten</translation>
    </message>
    <message>
        <source>Move between the parts of the controller picture</source>
        <translation>Zwischen den Teilen des Controller-Bilds wechseln</translation>
    </message>
    <message>
        <source>Enter, Space</source>
        <translation>Eingabe, Leertaste</translation>
    </message>
    <message>
        <source>Show the page of the picture&apos;s part that has the focus</source>
        <translation>Die Seite des Bildteils zeigen, der den Fokus hat</translation>
    </message>
    <message>
        <source>Enter</source>
        <translation>Eingabe</translation>
    </message>
    <message>
        <source>Preset Library: opens the chosen preset, as Load from file</source>
        <translation>Preset-Bibliothek: öffnet das gewählte Preset, wie Aus Datei laden</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Preset Library: moves the chosen file to the trash</source>
        <translation>Preset-Bibliothek: verschiebt die gewählte Datei in den Papierkorb</translation>
    </message>
    <message>
        <source>F2</source>
        <translation>F2</translation>
    </message>
    <message>
        <source>Preset Library: renames the chosen file</source>
        <translation>Preset-Bibliothek: benennt die gewählte Datei um</translation>
    </message>
    <message>
        <source>Korvalen25 Editor %1
Qt %2 (built with %3)
RtMidi %4</source>
        <translation>Korvalen25 Editor %1
Qt %2 (erstellt mit %3)
RtMidi %4</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Keyboard Shortcuts</source>
        <translation>Tastenkürzel</translation>
    </message>
    <message>
        <source>Report a Problem…</source>
        <translation>Ein Problem melden…</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>%1 is a port of an ALSA-to-JACK bridge, which drops every MIDI message over %2 bytes: the firmware blocks would not reach the controller.

Start the editor with --midi-api alsa to flash it. Start anyway?</source>
        <translation>%1 ist ein Port einer ALSA-zu-JACK-Brücke, die jede MIDI-Nachricht über %2 Bytes verwirft: die Firmware-Blöcke würden den Controller nicht erreichen.

Den Editor zum Aktualisieren mit --midi-api alsa starten. Trotzdem starten?</translation>
    </message>
    <message>
        <source>Not started: the controller is behind an ALSA-to-JACK bridge.</source>
        <translation>Nicht gestartet: der Controller liegt hinter einer ALSA-zu-JACK-Brücke.</translation>
    </message>
</context>
<context>
    <name>SearchWindow</name>
    <message>
        <source>Looking for the MIDI ports...</source>
        <translation>Suche die MIDI-Ports...</translation>
    </message>
    <message>
        <source>There is no MIDI output port to ask the controller on. Is it plugged in?</source>
        <translation>Es gibt keinen MIDI-Ausgang, an dem der Controller gefragt werden kann. Ist er angeschlossen?</translation>
    </message>
    <message>
        <source>Attempt %1 of %2</source>
        <translation>Versuch %1 von %2</translation>
    </message>
    <message>
        <source>Reading the list of MIDI ports...</source>
        <translation>Lese die Liste der MIDI-Ports...</translation>
    </message>
    <message>
        <source>Waiting for MIDI ports, %1 s of %2</source>
        <translation>Warte auf MIDI-Ports, %1 s von %2</translation>
    </message>
    <message>
        <source>There are no MIDI ports. Is the controller plugged in?</source>
        <translation>Es gibt keine MIDI-Ports. Ist der Controller angeschlossen?</translation>
    </message>
    <message>
        <source>There is no MIDI input port to hear the controller on. Is it plugged in?</source>
        <translation>Es gibt keinen MIDI-Eingang, an dem der Controller zu hören ist. Ist er angeschlossen?</translation>
    </message>
    <message>
        <source>There is no MIDI input port. Is the controller plugged in?</source>
        <translation>Es gibt keinen MIDI-Eingang. Ist der Controller angeschlossen?</translation>
    </message>
    <message>
        <source>There are more than 20 MIDI ports. Unplug some other MIDI devices.</source>
        <translation>Es gibt mehr als 20 MIDI-Ports. Einige andere MIDI-Geräte abziehen.</translation>
    </message>
    <message>
        <source>Asking %1...</source>
        <translation>Frage %1...</translation>
    </message>
    <message>
        <source>An answer came; asking once more to be sure...</source>
        <translation>Eine Antwort kam; frage zur Sicherheit noch einmal...</translation>
    </message>
    <message>
        <source>Found on %1.</source>
        <translation>Gefunden an %1.</translation>
    </message>
    <message>
        <source>More than one controller answered.</source>
        <translation>Mehr als ein Controller hat geantwortet.</translation>
    </message>
    <message>
        <source>Stopping the search...</source>
        <translation>Beende die Suche...</translation>
    </message>
</context>
<context>
    <name>SliderPage</name>
    <message>
        <source>CC:</source>
        <translation>CC:</translation>
    </message>
    <message>
        <source>Chan:</source>
        <translation>Kanal:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>S1</source>
        <translation>S1</translation>
    </message>
</context>
<context>
    <name>SyxFile</name>
    <message>
        <source>message %1 (at byte %2)</source>
        <translation>Nachricht %1 (bei Byte %2)</translation>
    </message>
    <message>
        <source>it is not a SysEx file: it does not begin with F0</source>
        <translation>sie ist keine SysEx-Datei: sie beginnt nicht mit F0</translation>
    </message>
    <message>
        <source>it is not a SysEx file: byte %1 (%2) lies outside any SysEx message</source>
        <translation>sie ist keine SysEx-Datei: Byte %1 (%2) liegt außerhalb jeder SysEx-Nachricht</translation>
    </message>
    <message>
        <source>%1 is cut short: the file ends before its F7</source>
        <translation>%1 ist abgeschnitten: die Datei endet vor ihrem F7</translation>
    </message>
    <message>
        <source>%1 is cut short: byte %2 (%3) comes before its F7</source>
        <translation>%1 ist abgeschnitten: Byte %2 (%3) kommt vor ihrem F7</translation>
    </message>
    <message>
        <source>%1 (%2) is not one of the Korvalen25&apos;s preset messages; it may be another device&apos;s</source>
        <translation>%1 (%2) ist keine Preset-Nachricht des Korvalen25; sie stammt vielleicht von einem anderen Gerät</translation>
    </message>
    <message>
        <source>%1 %2 is out of range (0-%3)</source>
        <translation>%1 %2 liegt außerhalb des Bereichs (0-%3)</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>preset-wide value %1</source>
        <translation>presetweiter Wert %1</translation>
    </message>
    <message>
        <source>the zones&apos; on/off value</source>
        <translation>der Ein/Aus-Wert der Zonen</translation>
    </message>
    <message>
        <source>control %1</source>
        <translation>Bedienelement %1</translation>
    </message>
    <message>
        <source>%1 has wrong check bytes</source>
        <translation>%1 hat falsche Prüfbytes</translation>
    </message>
    <message>
        <source>%1 is for control %2 of kind %3, which the controller does not have</source>
        <translation>%1 gilt dem Bedienelement %2 der Art %3, das der Controller nicht hat</translation>
    </message>
    <message>
        <source>%1 sets %2, which a download does not send</source>
        <translation>%1 setzt %2, was eine Übertragung nicht sendet</translation>
    </message>
    <message>
        <source>%1 sets %2, which the controller does not have</source>
        <translation>%1 setzt %2, den der Controller nicht hat</translation>
    </message>
    <message>
        <source>%1 is an upload request, which is no part of a preset</source>
        <translation>%1 ist eine Upload-Anfrage, die nicht zu einem Preset gehört</translation>
    </message>
    <message>
        <source>it has no download end message, which stores the preset: playing it would store nothing</source>
        <translation>ihr fehlt die Endnachricht der Übertragung, die das Preset speichert: sie abzuspielen würde nichts speichern</translation>
    </message>
    <message>
        <source>%1 follows the download end message, which must come last</source>
        <translation>%1 folgt auf die Endnachricht der Übertragung, die als letzte kommen muss</translation>
    </message>
    <message>
        <source>it is not a whole preset: it has no value for %1</source>
        <translation>sie ist kein vollständiges Preset: ihr fehlt ein Wert für %1</translation>
    </message>
    <message>
        <source>the dump has no end record: it may have been cut short</source>
        <translation>dem Dump fehlt der Enddatensatz: er wurde vielleicht abgeschnitten</translation>
    </message>
    <message>
        <source>%1 follows the end of the dump, which must come last</source>
        <translation>%1 folgt auf das Ende des Dumps, das als letztes kommen muss</translation>
    </message>
    <message>
        <source>the dump holds records with values out of range</source>
        <translation>der Dump enthält Datensätze mit Werten außerhalb des Bereichs</translation>
    </message>
    <message>
        <source>the dump&apos;s %1</source>
        <translation>im Dump: %1</translation>
    </message>
    <message>
        <source>it is not a whole preset: the dump has no value for %1</source>
        <translation>sie ist kein vollständiges Preset: dem Dump fehlt ein Wert für %1</translation>
    </message>
    <message>
        <source>the file is empty</source>
        <translation>die Datei ist leer</translation>
    </message>
    <message>
        <source>%1 is a download message in a dump; a .syx file of a preset holds one or the other</source>
        <translation>%1 ist eine Übertragungsnachricht in einem Dump; eine .syx-Datei eines Presets enthält das eine oder das andere</translation>
    </message>
    <message>
        <source>%1 is a dump record among download messages; a .syx file of a preset holds one or the other</source>
        <translation>%1 ist ein Dump-Datensatz zwischen Übertragungsnachrichten; eine .syx-Datei eines Presets enthält das eine oder das andere</translation>
    </message>
    <message numerus="yes">
        <source>it holds %n presets; a .syx file of a preset holds one</source>
        <translation>
            <numerusform>sie enthält %n Preset; eine .syx-Datei eines Presets enthält eines</numerusform>
            <numerusform>sie enthält %n Presets; eine .syx-Datei eines Presets enthält eines</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 ... (%n bytes)</source>
        <translation>
            <numerusform>%1 ... (%n Byte)</numerusform>
            <numerusform>%1 ... (%n Bytes)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TrafficTableModel</name>
    <message>
        <source>out</source>
        <translation>aus</translation>
    </message>
    <message>
        <source>in</source>
        <translation>ein</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
    <message>
        <source>Dir.</source>
        <translation>Richt.</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Nachricht</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>Bytes</translation>
    </message>
</context>
<context>
    <name>TransportPage</name>
    <message>
        <source>Type:</source>
        <translation>Typ:</translation>
    </message>
    <message>
        <source>Val:</source>
        <translation>Wert:</translation>
    </message>
    <message>
        <source>Chan:</source>
        <translation>Kanal:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Mode:</source>
        <translation>Modus:</translation>
    </message>
    <message>
        <source>REW</source>
        <translation>REW</translation>
    </message>
    <message>
        <source>FF</source>
        <translation>FF</translation>
    </message>
    <message>
        <source>STOP</source>
        <translation>STOP</translation>
    </message>
    <message>
        <source>PLAY</source>
        <translation>PLAY</translation>
    </message>
    <message>
        <source>REC</source>
        <translation>REC</translation>
    </message>
</context>
<context>
    <name>UpgradeDlg</name>
    <message>
        <source>More than one controller in upgrade mode answered.
Which one should be flashed?</source>
        <translation>Mehr als ein Controller im Update-Modus hat geantwortet.
Welcher soll aktualisiert werden?</translation>
    </message>
    <message>
        <source>The file is empty.</source>
        <translation>Die Datei ist leer.</translation>
    </message>
    <message>
        <source>It is too short for a firmware image: %1 bytes, an image has at least %2.</source>
        <translation>Sie ist zu kurz für ein Firmware-Image: %1 Bytes, ein Image hat mindestens %2.</translation>
    </message>
    <message>
        <source>It does not end as a firmware image of this controller does, so it is no Korvalen25 firmware. Choose the .bin file of the firmware.</source>
        <translation>Sie endet nicht wie ein Firmware-Image dieses Controllers, ist also keine Firmware des Korvalen25. Die .bin-Datei der Firmware wählen.</translation>
    </message>
    <message>
        <source>Open to Load</source>
        <translation>Zum Laden öffnen</translation>
    </message>
    <message>
        <source>Bin Files(*.bin)</source>
        <translation>Firmware-Dateien (*.bin)</translation>
    </message>
    <message>
        <source>The file could not be opened: %1.</source>
        <translation>Die Datei konnte nicht geöffnet werden: %1.</translation>
    </message>
    <message>
        <source>A firmware upgrade is running. Stop it?

A stopped upgrade leaves the controller without complete firmware: restart it in upgrade mode and start the upgrade again.</source>
        <translation>Ein Firmware-Update läuft. Anhalten?

Ein angehaltenes Update lässt den Controller ohne vollständige Firmware: ihn im Update-Modus neu starten und das Update erneut beginnen.</translation>
    </message>
    <message>
        <source>about %1 s left</source>
        <translation>noch etwa %1 s</translation>
    </message>
    <message>
        <source>about %1 min %2 s left</source>
        <translation>noch etwa %1 min %2 s</translation>
    </message>
    <message>
        <source>%v / %m blocks (%p%)</source>
        <translation>%v / %m Blöcke (%p%)</translation>
    </message>
    <message>
        <source>%v / %m blocks (%p%), %1</source>
        <translation>%v / %m Blöcke (%p%), %1</translation>
    </message>
</context>
<context>
    <name>UpgradeUI</name>
    <message>
        <source>FIRMWARE UPGRADE</source>
        <translation>FIRMWARE-UPDATE</translation>
    </message>
    <message>
        <source>Device Firmware Ver:</source>
        <translation>Firmware-Version des Geräts:</translation>
    </message>
    <message>
        <source>File Ver:</source>
        <translation>Dateiversion:</translation>
    </message>
    <message>
        <source>0.00</source>
        <translation>0.00</translation>
    </message>
    <message>
        <source>not selected</source>
        <translation>nicht gewählt</translation>
    </message>
    <message>
        <source>Load File</source>
        <translation>Datei laden</translation>
    </message>
    <message>
        <source>Step 1:</source>
        <translation>Schritt 1:</translation>
    </message>
    <message>
        <source>Step 2:</source>
        <translation>Schritt 2:</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>LOG:</source>
        <translation>PROTOKOLL:</translation>
    </message>
</context>
<context>
    <name>UploadCommand</name>
    <message>
        <source>Upload</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>Upload failed: the MIDI ports are busy with another exchange with the controller. Try again when it has ended.</source>
        <translation>Upload fehlgeschlagen: die MIDI-Ports sind mit einem anderen Austausch mit dem Controller beschäftigt. Erneut versuchen, wenn er beendet ist.</translation>
    </message>
    <message>
        <source>Upload failed: the controller did not take the request. Check the connection and try again.</source>
        <translation>Upload fehlgeschlagen: der Controller hat die Anfrage nicht angenommen. Verbindung prüfen und erneut versuchen.</translation>
    </message>
    <message>
        <source>Part of the preset from the controller was lost. Asking for it again (%1 of %2)...</source>
        <translation>Ein Teil des Presets vom Controller ging verloren. Frage erneut danach (%1 von %2)...</translation>
    </message>
    <message>
        <source>Upload failed: part of the preset from the controller was lost, %1 times. The values from before the upload are back; check the connection and try again.</source>
        <translation>Upload fehlgeschlagen: ein Teil des Presets vom Controller ging %1-mal verloren. Die Werte von vor dem Upload sind zurück; Verbindung prüfen und erneut versuchen.</translation>
    </message>
    <message numerus="yes">
        <source>Upload finished, but %n record(s) from the controller were out of range and skipped; those controls kept their values.</source>
        <translation>
            <numerusform>Upload beendet, aber %n Datensatz vom Controller lag außerhalb des Bereichs und wurde übersprungen; dieses Bedienelement behielt seinen Wert.</numerusform>
            <numerusform>Upload beendet, aber %n Datensätze vom Controller lagen außerhalb des Bereichs und wurden übersprungen; diese Bedienelemente behielten ihre Werte.</numerusform>
        </translation>
    </message>
    <message>
        <source>Upload failed: the controller did not finish sending the preset. The values from before the upload are back.</source>
        <translation>Upload fehlgeschlagen: der Controller hat das Preset nicht zu Ende gesendet. Die Werte von vor dem Upload sind zurück.</translation>
    </message>
    <message>
        <source>upload Error</source>
        <translation>Upload-Fehler</translation>
    </message>
    <message>
        <source>Upload OK!</source>
        <translation>Upload OK!</translation>
    </message>
</context>
<context>
    <name>UploadDlg</name>
    <message>
        <source>Upload form Korvalen</source>
        <translation>Upload vom Korvalen</translation>
    </message>
    <message>
        <source>Select one preset to upload :</source>
        <translation>Ein Preset zum Hochladen wählen:</translation>
    </message>
</context>
<context>
    <name>ZonesPage</name>
    <message>
        <source>   Zone1 ON</source>
        <translation>   Zone1 AN</translation>
    </message>
    <message>
        <source>Prog:</source>
        <translation>Prog:</translation>
    </message>
    <message>
        <source>MSB:</source>
        <translation>MSB:</translation>
    </message>
    <message>
        <source>LSB:</source>
        <translation>LSB:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Ch:</source>
        <translation>Kan:</translation>
    </message>
    <message>
        <source>Rang:</source>
        <translation>Ber.:</translation>
    </message>
    <message>
        <source>—</source>
        <translation>—</translation>
    </message>
    <message>
        <source>Octave:</source>
        <translation>Oktave:</translation>
    </message>
    <message>
        <source>Trans:</source>
        <translation>Transp.:</translation>
    </message>
    <message>
        <source>Status:</source>
        <translation>Status:</translation>
    </message>
    <message>
        <source>Zone1</source>
        <translation>Zone1</translation>
    </message>
    <message>
        <source>Zone2</source>
        <translation>Zone2</translation>
    </message>
    <message>
        <source>Zone3</source>
        <translation>Zone3</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
</context>
<context>
    <name>a11y</name>
    <message>
        <source>Zone%1: %2</source>
        <translation>Zone%1: %2</translation>
    </message>
    <message>
        <source>E%1, bank %2</source>
        <translation>E%1, Bank %2</translation>
    </message>
    <message>
        <source>F%1, bank %2</source>
        <translation>F%1, Bank %2</translation>
    </message>
    <message>
        <source>P%1, bank %2</source>
        <translation>P%1, Bank %2</translation>
    </message>
    <message>
        <source>%1 button</source>
        <translation>Taste %1</translation>
    </message>
    <message>
        <source>Slider S1</source>
        <translation>Schieberegler S1</translation>
    </message>
    <message>
        <source>note number</source>
        <translation>Notennummer</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Piano key</source>
        <translation>Klaviertaste</translation>
    </message>
    <message>
        <source>Display button</source>
        <translation>Anzeigetaste</translation>
    </message>
    <message>
        <source>Encoder E1</source>
        <translation>Drehregler E1</translation>
    </message>
    <message>
        <source>Shows the encoder page.</source>
        <translation>Zeigt die Seite der Drehregler.</translation>
    </message>
    <message>
        <source>Encoder E2</source>
        <translation>Drehregler E2</translation>
    </message>
    <message>
        <source>Encoder E3</source>
        <translation>Drehregler E3</translation>
    </message>
    <message>
        <source>Encoder E4</source>
        <translation>Drehregler E4</translation>
    </message>
    <message>
        <source>Encoder E5</source>
        <translation>Drehregler E5</translation>
    </message>
    <message>
        <source>Encoder E6</source>
        <translation>Drehregler E6</translation>
    </message>
    <message>
        <source>Encoder E7</source>
        <translation>Drehregler E7</translation>
    </message>
    <message>
        <source>Encoder E8</source>
        <translation>Drehregler E8</translation>
    </message>
    <message>
        <source>Function button F1</source>
        <translation>Funktionstaste F1</translation>
    </message>
    <message>
        <source>Shows the function button page.</source>
        <translation>Zeigt die Seite der Funktionstasten.</translation>
    </message>
    <message>
        <source>Function button F2</source>
        <translation>Funktionstaste F2</translation>
    </message>
    <message>
        <source>Function button F3</source>
        <translation>Funktionstaste F3</translation>
    </message>
    <message>
        <source>Function button F4</source>
        <translation>Funktionstaste F4</translation>
    </message>
    <message>
        <source>Pad P1</source>
        <translation>Pad P1</translation>
    </message>
    <message>
        <source>Shows the pad page.</source>
        <translation>Zeigt die Seite der Pads.</translation>
    </message>
    <message>
        <source>Pad P2</source>
        <translation>Pad P2</translation>
    </message>
    <message>
        <source>Pad P3</source>
        <translation>Pad P3</translation>
    </message>
    <message>
        <source>Pad P4</source>
        <translation>Pad P4</translation>
    </message>
    <message>
        <source>Rewind</source>
        <translation>Zurückspulen</translation>
    </message>
    <message>
        <source>Shows the transport button page.</source>
        <translation>Zeigt die Seite der Transporttasten.</translation>
    </message>
    <message>
        <source>Fast forward</source>
        <translation>Vorspulen</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Wiedergabe</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Aufnahme</translation>
    </message>
    <message>
        <source>Shows the slider page.</source>
        <translation>Zeigt die Seite des Schiebereglers.</translation>
    </message>
    <message>
        <source>Shows the keyboard zone page.</source>
        <translation>Zeigt die Seite der Tastaturzonen.</translation>
    </message>
    <message>
        <source>Encoders</source>
        <translation>Drehregler</translation>
    </message>
    <message>
        <source>Function buttons</source>
        <translation>Funktionstasten</translation>
    </message>
    <message>
        <source>Pads</source>
        <translation>Pads</translation>
    </message>
    <message>
        <source>Transport buttons</source>
        <translation>Transporttasten</translation>
    </message>
    <message>
        <source>Slider</source>
        <translation>Schieberegler</translation>
    </message>
    <message>
        <source>Keyboard zones</source>
        <translation>Tastaturzonen</translation>
    </message>
    <message>
        <source>Encoder and function button bank</source>
        <translation>Bank der Drehregler und Funktionstasten</translation>
    </message>
    <message>
        <source>The bank whose values the encoder and function button pages show.</source>
        <translation>Die Bank, deren Werte die Seiten der Drehregler und Funktionstasten zeigen.</translation>
    </message>
    <message>
        <source>Pad bank</source>
        <translation>Pad-Bank</translation>
    </message>
    <message>
        <source>The bank whose values the pad page shows.</source>
        <translation>Die Bank, deren Werte die Seite der Pads zeigt.</translation>
    </message>
    <message>
        <source>Display</source>
        <translation>Anzeige</translation>
    </message>
    <message>
        <source>Logo</source>
        <translation>Logo</translation>
    </message>
    <message>
        <source>Encoder page</source>
        <translation>Seite der Drehregler</translation>
    </message>
    <message>
        <source>Function button page</source>
        <translation>Seite der Funktionstasten</translation>
    </message>
    <message>
        <source>Pad page</source>
        <translation>Seite der Pads</translation>
    </message>
    <message>
        <source>Transport button page</source>
        <translation>Seite der Transporttasten</translation>
    </message>
    <message>
        <source>Slider page</source>
        <translation>Seite des Schiebereglers</translation>
    </message>
    <message>
        <source>Keyboard zone page</source>
        <translation>Seite der Tastaturzonen</translation>
    </message>
    <message>
        <source>Preset to upload</source>
        <translation>Hochzuladendes Preset</translation>
    </message>
    <message>
        <source>The factory preset or one of the user presets.</source>
        <translation>Das Werks-Preset oder eines der Benutzer-Presets.</translation>
    </message>
    <message>
        <source>Step 1: choose the firmware image file.</source>
        <translation>Schritt 1: die Datei mit dem Firmware-Image wählen.</translation>
    </message>
    <message>
        <source>Step 2: flash the image into the controller in upgrade mode.</source>
        <translation>Schritt 2: das Image in den Controller im Update-Modus schreiben.</translation>
    </message>
    <message>
        <source>Upgrade progress</source>
        <translation>Fortschritt des Updates</translation>
    </message>
    <message>
        <source>Upgrade log</source>
        <translation>Protokoll des Updates</translation>
    </message>
    <message>
        <source>Presets</source>
        <translation>Presets</translation>
    </message>
    <message>
        <source>Enter opens the chosen preset, F2 renames it, Delete moves it to the trash.</source>
        <translation>Eingabe öffnet das gewählte Preset, F2 benennt es um, Entf verschiebt es in den Papierkorb.</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>Shows only the presets whose name, number or kind match.</source>
        <translation>Zeigt nur die Presets, deren Name, Nummer oder Art passen.</translation>
    </message>
    <message>
        <source>Name for the editor&apos;s preset</source>
        <translation>Name für das Preset des Editors</translation>
    </message>
    <message>
        <source>User preset to download to</source>
        <translation>Benutzer-Preset, zu dem übertragen wird</translation>
    </message>
    <message>
        <source>Library folder</source>
        <translation>Bibliotheksordner</translation>
    </message>
    <message>
        <source>Differences</source>
        <translation>Unterschiede</translation>
    </message>
    <message>
        <source>Each field that differs, with both values. Take a side&apos;s value with the buttons below.</source>
        <translation>Jedes Feld, das sich unterscheidet, mit beiden Werten. Mit den Schaltflächen darunter den Wert einer Seite übernehmen.</translation>
    </message>
    <message>
        <source>MIDI messages</source>
        <translation>MIDI-Nachrichten</translation>
    </message>
    <message>
        <source>Kind of messages shown</source>
        <translation>Art der gezeigten Nachrichten</translation>
    </message>
    <message>
        <source>Stops and resumes the list; the traffic is still recorded.</source>
        <translation>Hält die Liste an und setzt sie fort; der Verkehr wird weiter aufgezeichnet.</translation>
    </message>
    <message>
        <source>MIDI ports</source>
        <translation>MIDI-Ports</translation>
    </message>
    <message>
        <source>Every port and what the last search did with it.</source>
        <translation>Jeder Port und was die letzte Suche mit ihm tat.</translation>
    </message>
    <message>
        <source>Ends the search for the controller.</source>
        <translation>Beendet die Suche nach dem Controller.</translation>
    </message>
</context>
<context>
    <name>helpmenu::ShortcutsWindow</name>
    <message>
        <source>Keyboard Shortcuts</source>
        <translation>Tastenkürzel</translation>
    </message>
    <message>
        <source>Keyboard shortcuts</source>
        <translation>Tastenkürzel</translation>
    </message>
    <message>
        <source>Keys</source>
        <translation>Tasten</translation>
    </message>
    <message>
        <source>What they do</source>
        <translation>Was sie tun</translation>
    </message>
</context>
<context>
    <name>item</name>
    <message>
        <source>Control</source>
        <translation>Controller</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>toggle</source>
        <translation>umschalten</translation>
    </message>
    <message>
        <source>momentary</source>
        <translation>kurzzeitig</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>The MIDI backend &quot;%1&quot; cannot be used: %2
The editor starts without MIDI ports.</source>
        <translation>Das MIDI-Backend &quot;%1&quot; ist nicht nutzbar: %2
Der Editor startet ohne MIDI-Ports.</translation>
    </message>
    <message>
        <source>MIDI</source>
        <translation>MIDI</translation>
    </message>
</context>
<context>
    <name>upgradetext</name>
    <message>
        <source>File Loaded.</source>
        <translation>Datei geladen.</translation>
    </message>
    <message>
        <source>Open Error!</source>
        <translation>Fehler beim Öffnen!</translation>
    </message>
    <message>
        <source>The file is larger than any firmware image can be. Choose the .bin file of the firmware.</source>
        <translation>Die Datei ist größer, als ein Firmware-Image sein kann. Die .bin-Datei der Firmware wählen.</translation>
    </message>
    <message>
        <source>The image holds no firmware, so there is nothing to flash. Load another file.</source>
        <translation>Das Image enthält keine Firmware, es gibt also nichts zu schreiben. Eine andere Datei laden.</translation>
    </message>
    <message>
        <source>Finding MIDI device in upgrade mode...</source>
        <translation>Suche MIDI-Gerät im Update-Modus...</translation>
    </message>
    <message>
        <source>Can not found any MIDI devices.</source>
        <translation>Keine MIDI-Geräte gefunden.</translation>
    </message>
    <message>
        <source>Reconnect,and try again.</source>
        <translation>Neu verbinden und erneut versuchen.</translation>
    </message>
    <message>
        <source>Too many MIDI devices, please remove some others</source>
        <translation>Zu viele MIDI-Geräte, bitte einige andere entfernen</translation>
    </message>
    <message>
        <source>Open MIDI In error</source>
        <translation>Fehler beim Öffnen des MIDI-Eingangs</translation>
    </message>
    <message>
        <source>Open MIDI Out error</source>
        <translation>Fehler beim Öffnen des MIDI-Ausgangs</translation>
    </message>
    <message>
        <source>ERROR: Can not find device in upgrade mode</source>
        <translation>FEHLER: Kein Gerät im Update-Modus gefunden</translation>
    </message>
    <message>
        <source>Success to find midi in out device in upgrade mode!</source>
        <translation>MIDI-Ein- und -Ausgang des Geräts im Update-Modus gefunden!</translation>
    </message>
    <message>
        <source>Flash writing</source>
        <translation>Firmware wird geschrieben</translation>
    </message>
    <message>
        <source>Update OK!</source>
        <translation>Update OK!</translation>
    </message>
    <message>
        <source>Please turn off the power and restart!</source>
        <translation>Bitte das Gerät ausschalten und neu starten!</translation>
    </message>
    <message>
        <source>The End!</source>
        <translation>Ende!</translation>
    </message>
    <message>
        <source>The controller answered on &quot;%1&quot; in normal mode, firmware %2. Start it in upgrade mode and press Start again.</source>
        <translation>Der Controller hat an &quot;%1&quot; im normalen Modus geantwortet, Firmware %2. Ihn im Update-Modus starten und Start erneut drücken.</translation>
    </message>
    <message>
        <source>Flashing the controller on &quot;%1&quot;. Another controller in upgrade mode answered on &quot;%2&quot;; it is left as it is.</source>
        <translation>Aktualisiere den Controller an &quot;%1&quot;. Ein weiterer Controller im Update-Modus hat an &quot;%2&quot; geantwortet; er bleibt, wie er ist.</translation>
    </message>
    <message>
        <source>%1 controllers in upgrade mode answered, and none was flashed. Choose the one to flash.</source>
        <translation>%1 Controller im Update-Modus haben geantwortet, und keiner wurde aktualisiert. Den zu aktualisierenden wählen.</translation>
    </message>
    <message>
        <source>Controller in upgrade mode on &quot;%1&quot; (input &quot;%2&quot;)</source>
        <translation>Controller im Update-Modus an &quot;%1&quot; (Eingang &quot;%2&quot;)</translation>
    </message>
    <message>
        <source>No controller in upgrade mode answered on a port named &quot;%1&quot;.</source>
        <translation>Kein Controller im Update-Modus hat an einem Port namens &quot;%1&quot; geantwortet.</translation>
    </message>
    <message>
        <source>Upgrade stopped before anything was sent. Start the controller in upgrade mode and press Start again.</source>
        <translation>Update angehalten, bevor etwas gesendet wurde. Den Controller im Update-Modus starten und Start erneut drücken.</translation>
    </message>
    <message>
        <source>Upgrade stopped: the firmware in the controller is incomplete. Restart the controller in upgrade mode and press Start again.</source>
        <translation>Update angehalten: die Firmware im Controller ist unvollständig. Den Controller im Update-Modus neu starten und Start erneut drücken.</translation>
    </message>
    <message>
        <source>ERROR: The device did not ask for the firmware after the start message. Restart it in upgrade mode and try again.</source>
        <translation>FEHLER: Das Gerät hat nach der Startnachricht nicht nach der Firmware gefragt. Es im Update-Modus neu starten und erneut versuchen.</translation>
    </message>
    <message>
        <source>ERROR: The device stopped answering during the transfer. Restart it in upgrade mode and try again.</source>
        <translation>FEHLER: Das Gerät hat während der Übertragung aufgehört zu antworten. Es im Update-Modus neu starten und erneut versuchen.</translation>
    </message>
    <message>
        <source>ERROR: The device asked for block %1 of %2 again %3 times in a row and does not take it. Restart it in upgrade mode and try again.</source>
        <translation>FEHLER: Das Gerät hat %3-mal hintereinander erneut nach Block %1 von %2 gefragt und nimmt ihn nicht an. Es im Update-Modus neu starten und erneut versuchen.</translation>
    </message>
</context>
<context>
    <name>zone</name>
    <message>
        <source>Zone%1:%2</source>
        <translation>Zone%1:%2</translation>
    </message>
    <message>
        <source>Zone%1: Closed</source>
        <translation>Zone%1: Aus</translation>
    </message>
</context>
</TS>
