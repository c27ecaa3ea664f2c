-- Texts of the lock menu, the wait dialog and the monitor rows of checked-out documents.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (6312, 'Das Dokument wurde zur externen Bearbeitung geöffnet. Sobald das Programm die Datei '
           'freigibt, werden die Änderungen automatisch geprüft. Sollen die Änderungen ins DMS '
           'übernommen werden?',
     'The document was opened for editing outside. Once the program releases the file, the '
     'changes are checked. Shall the changes go back into the DMS?'),
    (17472, 'Dokument bearbeiten', 'Edit document'),
    (17926, 'Dokument entsperren', 'Unlock document'),
    (17932, 'Dokument intern bearbeiten', 'Edit document internally'),
    (17933, 'Dokument sperren und extern bearbeiten', 'Lock document and edit externally'),
    (17955, 'Dokument entsperren und Änderung übernehmen', 'Unlock document and take the changes'),
    (17957, 'Dokument entsperren (Änderung verwerfen)', 'Unlock document (discard changes)'),
    (17971, 'Änderungen übernehmen', 'Take changes'),
    (17972, 'Änderungen verwerfen', 'Discard changes'),
    (17973, 'Abbrechen', 'Cancel'),
    (17997, 'File-Link entsperren', 'Unlock file link'),
    (25188, 'Dokument sperren', 'Lock document'),
    (25189, 'gesperrtes Dokument bearbeiten', 'Edit locked document'),
    (25190, 'Ordner öffnen (gesperrtes Dokument)', 'Open folder (locked document)'),
    (31011, 'Dokument ist durch jemand anderes gesperrt.' || chr(10) || 'Wollen sie dennoch entsperren?',
     'The document is locked by someone else.' || chr(10) || 'Unlock it anyway?'),
    (31248, 'Achtung, bei DMSDelayedUpload wird nicht bloß entsperrt, sondern der komplette '
            'Datensatz gelöscht.',
     'Attention: for a delayed upload the whole record is deleted, not only unlocked.'),
    (31265, 'ausgechecktes Dokument wird auf Änderungen überwacht',
     'checked-out document is watched for changes'),
    (31266, 'Dokument im Baum auswählen', 'Select the document in the tree'),
    (31267, 'Nicht mehr überwachen', 'Stop watching'),
    (31271, 'Dokument ' || chr(13) || chr(10) || 'intern bearbeiten', 'Edit document ' || chr(13) || chr(10) || 'internally')
ON CONFLICT (t_nr) DO NOTHING;
