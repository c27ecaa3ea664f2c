-- Printing from the document window: the printer lookups over the printer names the window
-- passes (joined by '¶'), the current one first, and the hidden record-parameter group that the
-- report printers of a document are kept under.
INSERT INTO f2poss (modulname, feldname, f2_query)
SELECT 'TFormDokments', f.feldname,
       'SELECT p.printer FROM unnest(string_to_array(:printers, ''¶'')) WITH ORDINALITY AS p(printer, pos) '
       'ORDER BY (p.printer = ANY (string_to_array(coalesce(:current, ''''), ''*''))) DESC, p.pos'
FROM (VALUES ('miPrint'), ('miSetReportPrinter')) AS f(feldname)
WHERE NOT EXISTS (SELECT 1 FROM f2poss WHERE modulname = 'TFormDokments' AND feldname = f.feldname);

INSERT INTO recnogroup (reg_pname, reg_tablename, reg_gruppe, reg_visible)
VALUES ('System.Printing', 'picndoku', 'System', false)
ON CONFLICT (reg_pname) DO NOTHING;

-- Captions of the output and scanner actions of the document window.
INSERT INTO text0 (t_nr, t_feld0, t_feld3) VALUES
    (395, 'Drucken', 'Print'),
    (10251, 'E-Mail versenden', 'Send e-mail'),
    (17654, 'Scanner : ein Dokument (ein- oder mehrseitig)', 'Scanner: one document (one or more pages)'),
    (17655, 'Scanner : Manuell (Setup oder Bild-Datei laden)', 'Scanner: manual (setup or load an image file)'),
    (25185, 'Erweiterter Scan (WebCam)', 'Extended scan (webcam)'),
    (25191, 'Vorschaudokument', 'Preview document'),
    (25193, 'Datei (speichern unter ...)', 'File (save as ...)'),
    (26307, 'im ELO Client öffnen', 'Open in the archive client'),
    (31074, 'Dokument extern anzeigen', 'Show document externally'),
    (31264, 'Verknüpfte Dokumente können nicht als Vorschaudokument gesetzt werden. (nur wenn selbe table+dbrid)',
     'Linked documents cannot be set as preview document (only with the same table and dbrid).'),
    (31268, 'Dokument intern anzeigen', 'Show document internally')
ON CONFLICT (t_nr) DO NOTHING;
