<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform" xmlns:p="urn:p" exclude-result-prefixes="p">
<xsl:template match="book"><from-module a="1"><in/></from-module></xsl:template>
</xsl:stylesheet>
