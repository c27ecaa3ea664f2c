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
