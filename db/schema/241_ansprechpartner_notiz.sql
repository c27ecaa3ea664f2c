-- A free note per contact person, shown as the preview text under each contact in the grid.
ALTER TABLE ansprechpartner ADD COLUMN IF NOT EXISTS notiz text;
