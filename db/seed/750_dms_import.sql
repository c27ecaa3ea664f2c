-- The document type lookup of the document window (the current type first) and the texts of
-- importing, revisions, folders and report links.
INSERT INTO f2poss (modulname, feldname, f2_query)
SELECT 'TFormDokments', 'miDokuType',
       'SELECT dt_id, dt_descr, dt_parentnodeid FROM dokutypes '
       'WHERE dt_linkto IS NULL OR lower(dt_linkto) = lower(CAST(:table AS text)) '
       'ORDER BY (dt_id = CAST(:dt AS text)) IS TRUE DESC, dt_descr'
WHERE NOT EXISTS (SELECT 1 FROM f2poss WHERE modulname = 'TFormDokments' AND feldname = 'miDokuType');

-- The revisions of a document, the valid one first, to mark one as valid.
INSERT INTO f2poss (modulname, feldname, f2_query)
SELECT 'TFormDokments', 'miRevisionSpecifyValid',
       'SELECT pd_id, pd_descr, pd_date, pd_origfilename FROM picndoku '
       'WHERE pd_revision_id = CAST(:revid AS integer) '
       'ORDER BY (pd_id = CAST(:pdid AS integer)) DESC, pd_date DESC, pd_id DESC'
WHERE NOT EXISTS (SELECT 1 FROM f2poss WHERE modulname = 'TFormDokments'
                  AND feldname = 'miRevisionSpecifyValid');

INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (2370, 'Archivierung', 'Archiving'),
    (6311, 'Bitte Bezeichnung eingeben', 'Please enter a description'),
    (10432, 'Neue Revision', 'New revision'),
    (11882, 'Dokument konnte nicht ins DMS aufgenommen werden und bleibt weiterhin nur verlinkt.',
     'The document could not be taken into the DMS and stays a link.'),
    (17239, 'Neuer Ordner', 'New folder'),
    (17246, 'Umbenennen', 'Rename'),
    (17306, 'Datei "%s" wurde ins DMS kopiert. Soll die Originaldatei gelöscht werden?',
     'File "%s" was copied into the DMS. Delete the original file?'),
    (17756, 'Dokumenttyp zuweisen', 'Assign document type'),
    (17787, 'Ordner ist nicht leer', 'Folder is not empty'),
    (17914, 'Dokument kann nicht gelöscht werden (WORM-Schreibschutz)',
     'Document cannot be deleted (write once)'),
    (17920, 'Gültige Revision festlegen', 'Set valid revision'),
    (17923, 'Keine Berechtigung für dieses Verzeichnis', 'No permission for this folder'),
    (17934, 'Neue Dokument-Revision importieren', 'Import new document revision'),
    (17970, 'Neues Dokument importieren', 'Import new document'),
    (25184, 'Verlinkte Datei importieren', 'Import linked file'),
    (26545, 'Nur Administratoren können Reports mit Ordnern verknüpfen.',
     'Only administrators can link reports to folders.')
ON CONFLICT (t_nr) DO NOTHING;

-- The captions of the document types, as their lookup shows them over its columns.
INSERT INTO tablefieldinfo (tablename, field, alias, textno) VALUES
    ('dokutypes', '', 'Dokumenttypen', NULL),
    ('dokutypes', 'dt_id', 'Typ', 771),
    ('dokutypes', 'dt_descr', 'Bezeichnung', 10074),
    ('dokutypes', 'dt_parentnodeid', 'Ordner', NULL)
ON CONFLICT (tablename, field) DO UPDATE SET alias = EXCLUDED.alias, textno = EXCLUDED.textno;
