-- The module's own database (HRVModule.zeb): export folders kept between runs.

CREATE TABLE [HRVSettings] (
  [KestrelExportPath] VARCHAR(255),
  [ThirdPartyExportPath] VARCHAR(255)
);
