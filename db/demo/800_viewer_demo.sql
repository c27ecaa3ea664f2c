-- The viewers' demo: a document type for scans of addresses. The demo document itself (a 12-page
-- TIFF of generated text pages) is stored by korvex-demodoc, which scripts/demo runs after seeding.
INSERT INTO dokutypes (dt_id, dt_descr, dt_linkto) VALUES ('SCAN', 'Scan', 'adressen')
ON CONFLICT (dt_id) DO NOTHING;
