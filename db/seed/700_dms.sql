-- Named SQL and texts of the document management.

-- The folder tree of a table, or (with a node id) one folder of it. dt_autoexportpath is the
-- automatic export folder of the table's document type that files into the folder.
INSERT INTO standardsql (ss_key, ss_sql, ss_descr) VALUES
('DMS.DokuTree',
$sql$SELECT
  n.dtn_id,
  n.dtn_parentid,
  n.dtn_nodeid,
  n.dtn_caption,
  n.dtn_image,
  n.dtn_position,
  n.dtn_isprint,
  (SELECT t.dt_autoexportpath
     FROM dokutypes t
    WHERE lower(t.dt_parentnodeid) = lower(n.dtn_nodeid)
      AND coalesce(t.dt_autoexportpath, '') <> ''
      AND (t.dt_linkto IS NULL OR lower(t.dt_linkto) = lower(CAST(:tablename AS text)))
    ORDER BY t.dt_parentnodeid_default DESC, t.dt_id
    LIMIT 1) AS dt_autoexportpath
FROM dokutreenodes n
WHERE n.dtn_dtl_id = dokutrees_getid(CAST(:tablename AS text))
  AND (CAST(:nodeid AS text) IS NULL OR lower(n.dtn_nodeid) = lower(CAST(:nodeid AS text)))
ORDER BY coalesce(n.dtn_position, 1000000), n.dtn_id$sql$,
 'Objektablage: Ordnerbaum einer Tabelle (tablename, nodeid oder null)');

INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (734, 'Status', 'State'),
    (771, 'Typ', 'Type'),
    (3277, 'Objektablage', 'Document storage'),
    (6303, 'Kein Dokument vorhanden, neues Dokument anlegen?', 'No document yet; create a new one?'),
    (10074, 'Bezeichnung', 'Description'),
    (11268, 'Maximale Anzahl von Datensätzen dieser Anzeige erreicht, bitte im DMS suchen',
     'Maximum number of records of this view reached, please search the DMS'),
    (12648, 'Dokumentstruktur', 'Document structure'),
    (16317, 'Pos', 'Pos'),
    (17324, 'NodeID', 'NodeID'),
    (17432, 'Dokument nicht gefunden.', 'Document not found.'),
    (17919, 'Revisionen vorhanden', 'Revisions exist'),
    (17926, 'Dokument entsperren', 'Unlock document'),
    (17957, 'Dokument entsperren (Änderung verwerfen)', 'Unlock document (discard changes)'),
    (21246, 'Ausgeblendete Dokumente anzeigen', 'Show hidden documents'),
    (31009, 'Report drucken', 'Print report'),
    (31012, 'Initial-Ablageordner', 'Initial folder'),
    (31015, 'Geöffnete Dokumente schliessen?', 'Close open documents?'),
    (31140, 'Listenausgabe definiert und aktiviert', 'List output defined and active'),
    (31141, 'Listenausgabe definiert', 'List output defined'),
    (31142, 'Ausgecheckt (von mir)', 'Checked out (by me)'),
    (31143, 'Gesperrt (von mir)', 'Locked (by me)'),
    (31144, 'File-Link (nicht im DMS)', 'File link (not in the DMS)'),
    (31145, 'Dokument ist ausgeblendet', 'Document is hidden'),
    (31146, 'Dokument ist archiviert', 'Document is archived'),
    (31147, 'Kommentare auf Dokument vorhanden', 'Document has comments'),
    (31148, 'Standard-Dokument', 'Standard document'),
    (31149, 'Verlinkt', 'Linked'),
    (31150, 'AutoExport definiert', 'Auto export defined'),
    (31151, 'Ausgecheckt', 'Checked out'),
    (31219, 'Kein Dokument vorhanden.', 'No document.'),
    (31221, 'Dokumente ohne Nachfrage schließen', 'Close documents without asking'),
    (31222, 'Dokumente nicht schließen (nicht nachfragen)', 'Do not close documents (do not ask)'),
    (31223, 'Beim Schließen nachfragen, ob geöffnete Dokumente geschlossen werden sollen',
     'Ask on closing whether open documents are closed'),
    (31269, 'StandardDokument (zu Beginn anzeigen)', 'Standard document (show at start)'),
    (31270, 'WarteDialog beim Bearbeiten anzeigen', 'Show wait dialog while editing')
ON CONFLICT (t_nr) DO NOTHING;
