-- Named SQL and texts of the document properties.

-- The records a document is linked to. ident is what identifies the record to a user: the
-- identifier given when linking, else its id; rck_b and rck_column are the keyword category and
-- record column that identify records of the table across tables (dokuclasskey).
INSERT INTO standardsql (ss_key, ss_sql, ss_descr) VALUES
('DMS.DokumentEigenschaften.sqlDokuLinks',
$sql$SELECT
  l.pdl_id,
  l.pdl_pd_id,
  l.pdl_tablename,
  l.pdl_dokident,
  l.pdl_tablename AS dabt_name,
  coalesce((SELECT fa.alias FROM tablefieldinfo fa
             WHERE lower(fa.tablename) = lower(l.pdl_tablename) AND coalesce(fa.field, '') = ''
               AND fa.alias IS NOT NULL LIMIT 1), l.pdl_tablename) AS dabt_name2,
  k.dck_kategorie AS rck_b,
  k.dck_keycolumn AS rck_column,
  coalesce(l.pdl_dokident, l.pdl_dbrid::text) AS ident,
  l.pdl_neu,
  l.pdl_checked,
  l.pdl_revert,
  l.pdl_comment,
  l.pdl_txt,
  l.pdl_dbrid
FROM picndokulink l
LEFT JOIN dokuclasskey k ON lower(k.dck_tablename) = lower(l.pdl_tablename)
WHERE l.pdl_pd_id = :pdl_pd_id
ORDER BY dabt_name2, ident, l.pdl_id$sql$,
 'Dokument-Eigenschaften: Zuordnungen eines Dokuments zu Datensätzen (pdl_pd_id)'),
-- All revisions of a document (the rows sharing its pd_revision_id). voskred marks the valid
-- revision, voskbold the one shown, voskblue an archived one, voskyellow one marked as changed.
('DMS.DokumentEigenschaften.sqlRevisions',
$sql$SELECT
  p.pd_id,
  p.pd_tablename,
  p.pd_dbrid,
  p.pd_dokident,
  p.pd_doktype,
  coalesce(p.pd_path_user, p.pd_path, p.pd_dmsremotefile) AS pd_path,
  p.pd_stamp,
  p.pd_date,
  p.pd_origfilename,
  p.insert_by,
  p.insert_date,
  NOT p.pd_deletable AS voskred,
  p.pd_archive AS voskblue,
  p.pd_modified AS voskyellow,
  p.pd_id = CAST(:pd_id AS integer) AS voskbold
FROM picndoku p
WHERE p.pd_revision_id = CAST(:pd_revision_id AS integer)
   OR p.pd_id = CAST(:pd_id AS integer)
ORDER BY p.insert_date DESC, p.pd_id DESC$sql$,
 'Dokument-Eigenschaften: Revisionen eines Dokuments (pd_id, pd_revision_id)'),
-- The change log of a document and of its other revisions (voskyellow: another revision's).
('DMS.DokumentEigenschaften.sqlChangeLog',
$sql$SELECT
  g.pdg_id,
  g.pdg_pd_id,
  g.pdg_rev_id,
  g.pdg_type,
  g.pdg_info,
  g.insert_by,
  g.insert_time,
  g.pdg_pd_id <> CAST(:pd_id AS integer) AS voskyellow,
  p.pd_doktype,
  coalesce(p.pd_path_user, p.pd_path, p.pd_dmsremotefile) AS pd_path
FROM picndoku_log g
LEFT JOIN picndoku p ON p.pd_id = g.pdg_pd_id
WHERE g.pdg_pd_id = CAST(:pd_id AS integer)
   OR g.pdg_rev_id = CAST(:pd_revision_id AS integer)
ORDER BY g.insert_time DESC, g.pdg_id DESC$sql$,
 'Dokument-Eigenschaften: Änderungs-Logbuch eines Dokuments (pd_id, pd_revision_id)'),
-- Every archive place of the store: one row per document type (da_name names a further archive
-- of the type; the store keeps one per type). The type named by :unknown stands for documents
-- of unknown type and is no place to move a file into.
('DMS.AllKnownPaths',
$sql$SELECT t.dt_id, CAST(NULL AS text) AS da_name, t.dt_descr
FROM dokutypes t
WHERE t.dt_id IS DISTINCT FROM CAST(:unknown AS text)
ORDER BY t.dt_id$sql$,
 'Objektablage: alle Ablageorte der Dokumenttypen (Parameter unknown)')
ON CONFLICT (ss_key) DO NOTHING;

INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (216, 'Abteilung', 'Department'),
    (278, 'Bemerkung', 'Remark'),
    (287, 'Pfad', 'Path'),
    (373, 'Erstellt am', 'Created on'),
    (999, 'Anzeigen', 'Show'),
    (1244, 'Schlüsselworte', 'Keywords'),
    (1304, 'Dateiname', 'File name'),
    (1765, 'ID', 'ID'),
    (3284, 'Administration', 'Administration'),
    (3943, 'Standarddokument zum Drucken', 'Standard document for printing'),
    (10210, 'Verfügbare Dokumente', 'Available documents'),
    (10431, 'Revisionen', 'Revisions'),
    (10433, 'Revision anzeigen', 'Show revision'),
    (11553, 'DMS-Datei', 'DMS file'),
    (11554, 'DMS-Archiv', 'DMS archive'),
    (12277, 'Dokumenttyp', 'Document type'),
    (17245, 'Dokument-Eigenschaften bearbeiten', 'Edit document properties'),
    (17448, 'Im DMS seit', 'In the DMS since'),
    (17449, 'Datum, an dem das Dokument in das DMS aufgenommen wurde',
     'Date the document was taken into the DMS'),
    (17450, 'Datum des Dokuments', 'Date of the document'),
    (17777, 'Prüfen, ob die Datei im Archiv ihres Dokumenttyps liegt',
     'Check that the file lies in the archive of its document type'),
    (17778, 'Die Datei liegt im Archiv eines anderen Dokumenttyps. In das Archiv des Dokumenttyps verschieben?',
     'The file lies in the archive of another document type. Move it into the archive of the document type?'),
    (17779, 'Die Datei wurde in mehreren Archiven gefunden.',
     'The file was found in several archives.'),
    (17780, 'Die Datei wurde in keinem Archiv gefunden.', 'The file was found in no archive.'),
    (17781, 'Die Datei wurde im Archiv eines Dokumenttyps gefunden. Diesen Dokumenttyp übernehmen?',
     'The file was found in the archive of a document type. Take over that document type?'),
    (17782, 'Die Datei liegt im Archiv ihres Dokumenttyps.',
     'The file lies in the archive of its document type.'),
    (17872, 'Annotations vorhanden', 'Annotations exist'),
    (17873, 'Zuordnungen zum Dokument', 'Links of the document'),
    (17915, 'Ausgeblendete Dokumente zeigt die Objektablage nur auf Wunsch',
     'The document storage shows hidden documents only on request'),
    (17916, 'Alle Revisionen des Dokuments', 'All revisions of the document'),
    (17917, 'Archiviert', 'Archived'),
    (17948, 'Gültiger Pfad', 'Path in effect'),
    (17949, 'Rot markiert ist der Pfad, der gilt', 'The path in effect is marked red'),
    (21270, 'Ausgeblendet', 'Hidden'),
    (21733, 'Position zum Dokument zuweisen', 'Link a record to the document'),
    (21734, 'Das Dokument einem Datensatz zuordnen', 'Link the document to a record'),
    (31002, 'Dateiverknüpfung', 'File link'),
    (31003, 'Benutzerordner', 'Custom folder'),
    (31171, 'Das Dokument verweist nur auf eine Datei außerhalb des DMS',
     'The document only points at a file outside the DMS'),
    (31172, 'Andere Datensätze erreichen das Dokument über Zuordnungen',
     'Other records reach the document through links')
ON CONFLICT (t_nr) DO NOTHING;

-- Column captions of the properties window's pages and of the document list.
INSERT INTO tablefieldinfo (tablename, field, alias) VALUES
    ('recnokeyword', 'r_kategorie', 'Kategorie'),
    ('recnokeyword', 'r_descr', 'Schlüsselwort'),
    ('picndokulink', 'dabt_name2', 'Tabelle'),
    ('picndokulink', 'rck_b', 'Kategorie'),
    ('picndokulink', 'ident', 'Datensatz'),
    ('picndokulink', 'pdl_neu', 'Neu'),
    ('picndokulink', 'pdl_checked', 'Geprüft'),
    ('picndokulink', 'pdl_revert', 'Zurückgenommen'),
    ('picndokulink', 'pdl_comment', 'Kommentar'),
    ('picndokulink', 'pdl_dbrid', 'Datensatz-ID'),
    ('picndoku', 'pd_id', 'ID'),
    ('picndoku', 'pd_tablename', 'Tabelle'),
    ('picndoku', 'pd_dbrid', 'Datensatz-ID'),
    ('picndoku', 'pd_dokident', 'DokIdent'),
    ('picndoku', 'pd_doktype', 'Dokumenttyp'),
    ('picndoku', 'pd_path', 'Pfad'),
    ('picndoku', 'pd_dokumentfile', 'Dateiname'),
    ('picndoku', 'pd_stamp', 'Stempel'),
    ('picndoku', 'pd_date', 'Datum'),
    ('picndoku', 'pd_txt', 'Bemerkung'),
    ('picndoku', 'pd_origfilename', 'Originaldatei'),
    ('picndoku', 'dt_descr', 'Dokumenttyp'),
    ('picndoku', 'insert_by', 'Erstellt von'),
    ('picndoku', 'insert_date', 'Erstellt am'),
    ('picndoku_log', 'pdg_pd_id', 'Dokument'),
    ('picndoku_log', 'pdg_rev_id', 'Revision'),
    ('picndoku_log', 'pdg_type', 'Art'),
    ('picndoku_log', 'pdg_info', 'Information'),
    ('picndoku_log', 'insert_by', 'Benutzer'),
    ('picndoku_log', 'insert_time', 'Zeit'),
    ('picndoku_log', 'pd_doktype', 'Dokumenttyp'),
    ('picndoku_log', 'pd_path', 'Pfad')
ON CONFLICT (tablename, field) DO UPDATE SET alias = EXCLUDED.alias;
